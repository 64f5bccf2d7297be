#!/usr/bin/env bash
# Builds the Debian package from build/ and checks its desktop entry and AppStream
# metainfo with the two validators. Prints the package's path.
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
echo "$deb"
