#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest:
# the main build (g++) and the fuzz build (clang with ASan/UBSan), which
# replays the fuzzers' seed corpora.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/setup.sh

# The interoperability test reads our tags back with mutagen; without it the
# test is skipped, so install it here (the program itself does not need it).
if ! dpkg-query -W -f='${Status}' python3-mutagen 2>/dev/null | grep -q "install ok installed"; then
  echo "Installing: python3-mutagen"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq python3-mutagen
fi

# The fuzz build first, so the summary of the main tests closes the output.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DTAMBERLO_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz -j"$(nproc)"
ctest --test-dir build/fuzz --output-on-failure --no-tests=error

export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --no-tests=error -j"$(nproc)"
