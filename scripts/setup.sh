#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, when any is missing:
# the tool chain and Qt, fonts, an X server with a window manager for the display tests, and
# dpkg-dev for the Debian package.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev googletest libbenchmark-dev
          qt6-base-dev libgl-dev mdbtools fonts-dejavu-core fonts-liberation
          xvfb xauth jwm x11-utils xdotool dpkg-dev file)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
