#!/usr/bin/env bash
# Benchmarks on a generated trace of a million messages (about 550 MB), in a temporary folder.
# Usage: ./bench.sh [MESSAGES]
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release

messages="${1:-1000000}"
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
trace="$folder/trace.txt"

echo "Generating a trace of $messages messages..."
build/bench/make_trace "$messages" "$trace"
bytes=$(stat -c %s "$trace")
sync
cat "$trace" >/dev/null  # the file is read from the page cache in every run below

# "seconds peak-kilobytes", best time of 5 runs
read -r grep_seconds _ < <(build/bench/measure 5 "$folder/grep.out" grep -c IsdnMsgData "$trace")
read -r list_seconds list_kilobytes < <(build/bench/measure 5 /dev/null \
  build/src/sigrune-cli list "$trace")

awk -v bytes="$bytes" -v messages="$messages" -v grep="$grep_seconds" -v list="$list_seconds" \
  -v kilobytes="$list_kilobytes" 'BEGIN {
  mb = bytes / 1e6
  printf "trace: %.0f MB, %d messages\n", mb, messages
  printf "grep -c IsdnMsgData:            %.3f s  %7.0f MB/s\n", grep, mb / grep
  printf "sigrune-cli list > /dev/null:   %.3f s  %7.0f MB/s  %9.0f messages/s  (%.2f x grep)\n",
    list, mb / list, messages / list, list / grep
  printf "peak resident memory of list:   %.0f MB (%.0f %% of the file)\n",
    kilobytes / 1024, 100 * kilobytes * 1024 / bytes
}'
build/bench/load_and_list "$trace"
build/bench/decode_throughput "$trace"

read -r export_seconds export_kilobytes < <(build/bench/measure 3 /dev/null \
  build/src/sigrune-cli export "$trace" -o "$folder/export.txt")
export_bytes=$(stat -c %s "$folder/export.txt")
rm -f "$folder/export.txt"
# A text that occurs nowhere, so that every message is decoded and searched.
read -r find_seconds find_kilobytes < <(build/bench/measure 3 /dev/null \
  build/src/sigrune-cli find "$trace" "no such text")
read -r load_seconds _ < <(build/bench/load_and_list "$trace" | awk '{ print $2 }')

awk -v messages="$messages" -v seconds="$export_seconds" -v written="$export_bytes" \
  -v kilobytes="$export_kilobytes" -v find="$find_seconds" -v findkb="$find_kilobytes" \
  -v load="$load_seconds" 'BEGIN {
  printf "sigrune-cli export -o FILE:     %.3f s  %9.0f messages/s  %6.0f MB/s written (%.0f MB), peak %.0f MB\n",
    seconds, messages / seconds, written / 1e6 / seconds, written / 1e6, kilobytes / 1024
  printf "sigrune-cli find (no hit):      %.3f s  %9.0f messages/s beyond the load (%.3f s), peak %.0f MB\n",
    find, messages / (find - load), load, findkb / 1024
}'
QT_QPA_PLATFORM=offscreen build/bench/window_operations "$trace" "$folder/window-export.txt" \
  2>/dev/null
