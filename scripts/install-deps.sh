#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the tools need.
# Runs apt-get only when something is missing.
set -euo pipefail
packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libcairo2-dev fonts-dejavu-core
          g++-arm-linux-gnueabihf
          libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-impress-nogui python3-uno
          libreoffice-script-provider-python clang libclang-rt-14-dev valgrind
          libx11-dev xvfb xauth python3-pyqt5.qtwebkit)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
