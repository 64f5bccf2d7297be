#!/usr/bin/env bash
# Installs what is missing, builds, and starts the tool with the given arguments.
# With no port given or remembered and no serial hardware attached, the tool starts
# on its built-in demo device by itself.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target quenda
exec build/bin/quenda "$@"
