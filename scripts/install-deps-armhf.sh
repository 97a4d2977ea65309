#!/usr/bin/env bash
# Installs what the 32-bit ARM (armhf) cross build and its emulated test run
# need on Debian 12: the cross compiler, the armhf multiarch libraries
# (cairo, GoogleTest, the C++ runtime) and user-mode emulation. Adds the
# armhf architecture to dpkg and runs apt-get only when something is missing.
set -euo pipefail
packages=(cmake make pkg-config g++-arm-linux-gnueabihf qemu-user
          libcairo2-dev:armhf libgtest-dev:armhf libgmock-dev:armhf libstdc++6:armhf)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
updated=no
if ! dpkg --print-foreign-architectures | grep -qx armhf; then
  echo "adding the armhf architecture"
  $SUDO dpkg --add-architecture armhf
  $SUDO apt-get update -qq
  updated=yes
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  [ $updated = yes ] || $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
