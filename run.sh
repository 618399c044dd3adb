#!/usr/bin/env bash
# Installs what is missing, builds, and opens the window on the bundled example trace (or on the
# trace given as argument). Without a display it prints the trace's message list instead.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
trace="${1:-examples/plain-trace.txt}"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run.sh: no display to open the window on; here is the message list of $trace." >&2
  echo "run.sh: (under X, or with 'xvfb-run ./run.sh', the window opens instead)" >&2
  exec build/src/sigrune-cli list "$trace"
fi
exec build/src/sigrune "$trace"
