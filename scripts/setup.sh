#!/usr/bin/env bash
# Installs what the build needs (when missing) and builds into build/.
# Sourced by run.sh and test.sh; safe to run again at any time.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# librsvg2-bin renders the icon's PNG sizes; dpkg-dev (dpkg-shlibdeps), appstream,
# desktop-file-utils, groff-base and python3 build and check the Debian package.
packages=(cmake g++ clang libclang-rt-dev ninja-build qt6-base-dev qt6-base-dev-tools libgl-dev
          libgtest-dev libgmock-dev libbenchmark-dev fonts-noto-cjk qt6-translations-l10n xvfb xauth
          librsvg2-bin dpkg-dev appstream desktop-file-utils groff-base python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
