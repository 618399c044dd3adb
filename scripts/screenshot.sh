#!/usr/bin/env bash
# Makes docs/screenshot.png: the Calls tab on a generated trace, the calls that failed between
# 10:00 and 12:00 with the first of them that has a related leg chosen, its ladder and the first
# fault among its legs; docs/ladder.png: the ladder of a call bridged by the server, whose
# outgoing leg failed first; docs/statistics.png, and docs/statistics-trunks.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
xvfb-run -a -s "-screen 0 1280x1024x24" build/tools/screenshot examples/bridged-calls.txt 0 \
  docs/ladder.png flow "10.1.1.5=Dallas PRI 1" "172.16.20.33=SBC east"
# docs/statistics.png: the statistics of a generated trace of 6,000 messages (about 100 minutes).
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
build/bench/make_trace 6000 "$folder/trace.txt" >/dev/null
build/bench/make_trace 20000 "$folder/day.txt" >/dev/null
xvfb-run -a -s "-screen 0 1600x1000x24" build/tools/screenshot "$folder/day.txt" 0 \
  docs/screenshot.png triage "from:10:00 to:12:00"
xvfb-run -a -s "-screen 0 1280x1024x24" build/tools/screenshot "$folder/trace.txt" 0 \
  docs/statistics.png statistics
# docs/statistics-trunks.png: the Trunks tab on 200,000 messages, where one channel fails.
build/bench/make_trace 200000 "$folder/large.txt" >/dev/null
xvfb-run -a -s "-screen 0 1600x1000x24" build/tools/screenshot "$folder/large.txt" 0 \
  docs/statistics-trunks.png trunks
