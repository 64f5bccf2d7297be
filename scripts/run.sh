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
  link="${XDG_RUNTIME_DIR:-/tmp}/quenda-sim-$$"
  build/bin/quenda-sim --link "$link" --line-speed >/dev/null &
  sim=$!
  trap 'kill $sim 2>/dev/null; rm -f "$link"' EXIT
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  echo "No serial hardware found: connecting to the simulator at $link"
  args=("$link")
fi
build/bin/quenda "${args[@]}"
