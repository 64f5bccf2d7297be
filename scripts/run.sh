#!/usr/bin/env bash
# Installs what is missing, builds, and starts the tool. With no arguments and no
# serial hardware attached, it starts the bundled device simulator and connects to it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target quenda quenda-sim
args=("$@")
if [ ${#args[@]} -eq 0 ] && ! ls /dev/ttyUSB* /dev/ttyACM* /dev/rfcomm* >/dev/null 2>&1; then
  echo "No serial hardware found."
  QUENDA_BIN=build/bin exec packaging/quenda-demo
fi
build/bin/quenda "${args[@]}"
