#!/usr/bin/env bash
# Builds the Debian package from build/, checks its desktop entry and AppStream
# metainfo with the two validators, and starts the program as its desktop entry does.
# Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target package >/dev/null
deb=$(ls -t build/quenda_*.deb | head -n1)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dpkg-deb -x "$deb" "$stage"
desktop-file-validate "$stage"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$stage"/usr/share/metainfo/*.metainfo.xml
# The desktop entry's command, run from the unpacked package without a display, must
# reach the demo device (a fresh home: nothing remembered from earlier runs).
entry=$(ls "$stage"/usr/share/applications/*.desktop)
exec_line=$(sed -n '/^\[Desktop Entry\]/,/^\[/s/^Exec=//p' "$entry" | head -n1)
read -r -a words <<<"$exec_line"
command=()
for w in "${words[@]}"; do [[ $w == %? ]] || command+=("$w"); done # field codes: no files here
program="$stage/usr/bin/${command[0]}"
[[ -x "$program" ]] || { echo "desktop entry runs ${command[0]}, which the package lacks" >&2; exit 1; }
home=$(mktemp -d -p "$stage")
HOME="$home" XDG_RUNTIME_DIR="$home" QT_QPA_PLATFORM=offscreen \
    timeout 60 "$program" "${command[@]:1}" -demo --quit-when-connected >&2
echo "$deb"
