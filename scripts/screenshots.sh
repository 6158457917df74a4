#!/usr/bin/env bash
# Retakes the README's screenshots (docs/screenshots/*.png): builds, then
# photographs the main window and each dialog under Xvfb over a generated
# album of Chinese-tagged files. Look at every picture before committing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
mkdir -p docs/screenshots
xvfb-run -a -s "-screen 0 1280x800x24" \
  build/tools/tamberlo-screenshots --out docs/screenshots
