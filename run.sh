#!/usr/bin/env bash
# Installs what is missing, builds, and shows the messages of the bundled example trace.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
exec build/src/sigrune-cli list "${1:-examples/plain-trace.txt}"
