#!/usr/bin/env bash
# Makes docs/screenshot.png: the window on the example trace with its first SETUP selected.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
xvfb-run -a -s "-screen 0 1280x1024x24" build/tools/screenshot examples/plain-trace.txt 2 \
  docs/screenshot.png
