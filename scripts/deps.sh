#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12 (idempotent).
set -euo pipefail
pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev qt6-base-dev qt6-serialport-dev qt6-connectivity-dev
      qt6-tools-dev qt6-translations-l10n libsimpleini-dev xvfb xauth ccache
      dbus-daemon python3-dbusmock dpkg-dev desktop-file-utils appstream xdotool)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
