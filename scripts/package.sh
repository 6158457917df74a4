#!/usr/bin/env bash
# Builds the Debian package (build/package/tamberlo_VERSION-1_ARCH.deb) with
# CPack: the set-up and build run.sh does, then the package. Install it with
#   sudo apt install ./build/package/tamberlo_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cpack --config build/CPackConfig.cmake -B build/package
ls -1 build/package/*.deb
