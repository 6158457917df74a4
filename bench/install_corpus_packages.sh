#!/usr/bin/env bash
# Installs the word lists the legacy decoder's accuracy benchmark draws its
# texts from (bench/make_legacy_corpus.py). Neither the build nor the tests
# need them, so the set-up of ./run.sh and ./test.sh leaves them out.
set -euo pipefail
packages=(opencc skkdic hunspell-ko wfrench wngerman wspanish wportuguese)
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${packages[@]}"
