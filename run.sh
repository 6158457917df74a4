#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tamberlo.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/setup.sh
exec build/bin/tamberlo "$@"
