#!/usr/bin/env bash
# Compiles the layout checks with the 32-bit ARM cross compiler (compile only).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
arm-linux-gnueabihf-g++ -std=c++17 -Wall -Wextra -Werror -fsyntax-only -I"$root" \
  "$root/tests/layout/device_layout_check.cpp"
echo "device layout check: passed"
