#!/usr/bin/env bash
# Benchmarks on a generated trace of a million messages with the shape of a real one (about
# 776 MB; then its <Tracelist> form, 1.10 GB), in a temporary folder.
# Usage: ./bench.sh [--build DIR] [--before DIR] [MESSAGES]
#   --build DIR   measure the programs of another build folder (of an older commit, say) on the
#                 same trace, without building this tree
#   --before DIR  also measure the build folder (or worktree) of an earlier commit on the same
#                 trace, and print the table of the speed goals with its figures beside these
set -euo pipefail
cd "$(dirname "$0")"

usage() {
  echo "usage: ./bench.sh [--build DIR] [--before DIR] [MESSAGES]" >&2
  exit 2
}

programs=""
before=""
messages=1000000
while [ $# -gt 0 ]; do
  case "$1" in
    --build)
      [ $# -ge 2 ] || usage
      programs="$2"
      shift 2
      ;;
    --build=*)
      programs="${1#--build=}"
      shift
      ;;
    --before)
      [ $# -ge 2 ] || usage
      before="$2"
      shift 2
      ;;
    --before=*)
      before="${1#--before=}"
      shift
      ;;
    *[!0-9]* | "") usage ;;
    *)
      messages="$1"
      shift
      ;;
  esac
done

folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT

if [ -z "$programs" ]; then
  scripts/install-deps.sh
  scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
  programs=build
  make_trace=build/bench/make_trace
else
  if [ ! -e "$programs/CMakeCache.txt" ] && [ -e "$programs/build/CMakeCache.txt" ]; then
    programs="$programs/build"  # a worktree rather than its build folder
  fi
  [ -d "$programs" ] || { echo "bench.sh: $programs: no such folder" >&2; exit 1; }
  source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$programs/CMakeCache.txt" 2>/dev/null || true)
  commit=$(git -C "${source_dir:-$programs}" log -1 --format='%h %s' 2>/dev/null || true)
  echo "programs of $programs${commit:+ (source at $commit)}"
  # The trace always comes from this tree's generator, so that both builds read the same bytes.
  make_trace="$folder/make_trace"
  c++ -std=c++20 -O2 -o "$make_trace" bench/make_trace.cpp bench/trace_calls.cpp \
    bench/trace_server_lines.cpp
fi
cli="$programs/src/sigrune-cli"
measure="$programs/bench/measure"
if [ ! -x "$measure" ]; then
  echo "$measure is missing: timing with this tree's"
  measure="$folder/measure"
  c++ -std=c++20 -O2 -o "$measure" bench/measure.cpp
fi

# True when the program exists; otherwise says which line is skipped.
have() {
  [ -x "$1" ] && return 0
  echo "$2: skipped, $1 is missing"
  return 1
}

# Runs a command RUNS times, its output to OUTPUT, and sets `seconds` (the best time) and
# `kilobytes` (the peak resident memory); says so and is false when the command failed.
timed() {
  local runs="$1" output="$2" result
  shift 2
  if ! result=$("$measure" "$runs" "$output" "$@"); then
    echo "${*:1:2}: failed"
    return 1
  fi
  read -r seconds kilobytes <<<"$result"
}

trace="$folder/trace.txt"
echo "Generating a trace of $messages messages..."
"$make_trace" "$messages" "$trace"
# What a program holds whatever the trace, taken off its peak to give the bytes a message costs.
one_message="$folder/one.txt"
"$make_trace" 1 "$one_message" >/dev/null
bytes=$(stat -c %s "$trace")
sync
cat "$trace" >/dev/null  # the file is read from the page cache in every run below

grep_seconds=""
# Into a file: grep stops at the first match when its output is /dev/null.
if timed 5 "$folder/grep.out" grep -c IsdnMsgData "$trace"; then
  grep_seconds=$seconds
  awk -v bytes="$bytes" -v messages="$messages" -v grep="$grep_seconds" 'BEGIN {
    mb = bytes / 1e6
    printf "trace: %.0f MB, %d messages\n", mb, messages
    printf "grep -c IsdnMsgData:            %.3f s  %7.0f MB/s\n", grep, mb / grep
  }'
fi
list_seconds=""
if have "$cli" "sigrune-cli list, export, find" && timed 5 /dev/null "$cli" list "$trace"; then
  list_seconds=$seconds
  awk -v bytes="$bytes" -v messages="$messages" -v grep="$grep_seconds" -v list="$seconds" \
    -v kilobytes="$kilobytes" 'BEGIN {
    mb = bytes / 1e6
    printf "sigrune-cli list > /dev/null:   %.3f s  %7.0f MB/s  %9.0f messages/s  (%s x grep)\n",
      list, mb / list, messages / list, grep == "" ? "?" : sprintf("%.2f", list / grep)
    printf "peak resident memory of list:   %.0f MB (%.0f %% of the file)\n",
      kilobytes / 1024, 100 * kilobytes * 1024 / bytes
  }'
fi
# The capture for Wireshark, to the same output as list; its goal is within twice list's time.
# Its counts on standard error are left out.
if [ -x "$cli" ] && [ -n "$list_seconds" ] &&
  timed 3 /dev/null sh -c 'exec "$0" pcap "$1" -o - 2>/dev/null' "$cli" "$trace"; then
  awk -v messages="$messages" -v pcap="$seconds" -v list="$list_seconds" -v kilobytes="$kilobytes" 'BEGIN {
    printf "sigrune-cli pcap -o - > /dev/null: %.3f s  %9.0f messages/s  (%.2f x list; goal 2), peak %.0f MB\n",
      pcap, messages / pcap, pcap / list, kilobytes / 1024
  }'
fi
# The H.225 user information of every H.225 message as JSON, to the same output as list; its goal
# is within twice list's time.
if [ -x "$cli" ] && [ -n "$list_seconds" ] && timed 3 /dev/null "$cli" h225 --json "$trace"; then
  awk -v messages="$messages" -v h225="$seconds" -v list="$list_seconds" -v kilobytes="$kilobytes" 'BEGIN {
    printf "sigrune-cli h225 --json > /dev/null: %.3f s  %9.0f messages/s  (%.2f x list; goal 2), peak %.0f MB\n",
      h225, messages / h225, h225 / list, kilobytes / 1024
  }'
fi
load_seconds=""
if have "$programs/bench/load_and_list" "load and summary lines"; then
  if result=$("$programs/bench/load_and_list" "$trace"); then
    echo "$result"
    load_seconds=$(awk '{ print $2 }' <<<"$result")
  else
    echo "load_and_list: failed"
  fi
fi
# The trace cut into ten files (at line ends) opened as one, beside the trace whole (goal: within
# 1.1 x); then the trace gzip-compressed, opened beside `gzip -dc` of it (goal: within 1.3 x).
# Once each: they are long.
if have "$programs/bench/load_files" "several files and .gz"; then
  split -n l/10 -d "$trace" "$folder/piece-"
  cat "$folder"/piece-* >/dev/null
  if one=$("$programs/bench/load_files" "$trace") &&
    ten=$("$programs/bench/load_files" "$folder"/piece-*); then
    awk -v one="${one%% *}" -v ten="${ten%% *}" 'BEGIN {
      printf "open as ten files:              %.3f s beside %.3f s as one (%.2f x; goal 1.1)\n",
        ten, one, ten / one
    }'
  else
    echo "load_files: failed"
  fi
  rm -f "$folder"/piece-*
  gzip -c "$trace" >"$folder/trace.txt.gz"
  if timed 1 /dev/null gzip -dc "$folder/trace.txt.gz" &&
    packed=$("$programs/bench/load_files" "$folder/trace.txt.gz"); then
    awk -v gzip="$seconds" -v packed="${packed%% *}" \
      -v bytes="$(stat -c %s "$folder/trace.txt.gz")" 'BEGIN {
      printf "open the .gz (%.0f MB):          %.3f s beside %.3f s for gzip -dc (%.2f x; goal 1.3)\n",
        bytes / 1e6, packed, gzip, packed / gzip
    }'
  fi
  rm -f "$folder/trace.txt.gz"
fi
# Following the trace's second half as it is appended, 1,000 messages a second (goal: < 5 % of a
# core).
if have "$programs/bench/follow_growth" "following"; then
  "$programs/bench/follow_growth" "$trace" "$folder" 10 1000 || echo "follow_growth: failed"
  rm -f "$folder/growing.txt"
fi
if have "$programs/bench/decode_throughput" "decode"; then
  "$programs/bench/decode_throughput" "$trace" || echo "decode_throughput: failed"
fi

# Grouping the calls, as what `calls --csv` takes beyond `list` (the load); then on its own.
if [ -x "$cli" ] && [ -n "$list_seconds" ] && timed 5 /dev/null "$cli" calls --csv "$trace"; then
  awk -v messages="$messages" -v calls="$seconds" -v list="$list_seconds" -v kilobytes="$kilobytes" 'BEGIN {
    printf "sigrune-cli calls --csv:        %.3f s, %.3f s beyond list (%.3f s a million messages; goal 0.3 s), peak %.0f MB\n",
      calls, calls - list, (calls - list) * 1e6 / messages, kilobytes / 1024
  }'
fi
if have "$programs/bench/group_calls" "group calls"; then
  "$programs/bench/group_calls" "$trace" || echo "group_calls: failed"
fi
if have "$programs/bench/call_flow" "call flow"; then
  "$programs/bench/call_flow" || echo "call_flow: failed"
fi

if [ -x "$cli" ] && timed 3 /dev/null "$cli" export "$trace" -o "$folder/export.txt"; then
  export_bytes=$(stat -c %s "$folder/export.txt")
  rm -f "$folder/export.txt"
  awk -v messages="$messages" -v seconds="$seconds" -v written="$export_bytes" \
    -v kilobytes="$kilobytes" 'BEGIN {
    printf "sigrune-cli export -o FILE:     %.3f s  %9.0f messages/s  %6.0f MB/s written (%.0f MB), peak %.0f MB\n",
      seconds, messages / seconds, written / 1e6 / seconds, written / 1e6, kilobytes / 1024
  }'
fi
# A text that occurs nowhere, so that every message is decoded and searched.
if [ -x "$cli" ] && timed 3 /dev/null "$cli" find "$trace" "no such text"; then
  awk -v messages="$messages" -v find="$seconds" -v kilobytes="$kilobytes" -v load="$load_seconds" 'BEGIN {
    if (load == "")
      printf "sigrune-cli find (no hit):      %.3f s  %9.0f messages/s, peak %.0f MB\n",
        find, messages / find, kilobytes / 1024
    else
      printf "sigrune-cli find (no hit):      %.3f s  %9.0f messages/s beyond the load (%.3f s), peak %.0f MB\n",
        find, messages / (find - load), load, kilobytes / 1024
  }'
fi
if have "$programs/bench/window_operations" "window"; then
  QT_QPA_PLATFORM=offscreen "$programs/bench/window_operations" "$trace" \
    "$folder/window-export.txt" 2>/dev/null || echo "window_operations: failed"
  rm -f "$folder/window-export.txt"
fi
if have "$programs/bench/ladder" "ladder"; then
  QT_QPA_PLATFORM=offscreen "$programs/bench/ladder" "$folder" 2>/dev/null || echo "ladder: failed"
fi
if have "$programs/bench/triage" "triage"; then
  QT_QPA_PLATFORM=offscreen "$programs/bench/triage" "$folder" 2>/dev/null || echo "triage: failed"
fi

# The table of the speed goals for a million messages: this build's figures, beside those of the
# build given by --before when there is one, all on this trace. Sets after_* and before_*.
goal_figures() {
  local prefix="$1" folder_of="$2" cli_of window
  if [ ! -e "$folder_of/CMakeCache.txt" ] && [ -e "$folder_of/build/CMakeCache.txt" ]; then
    folder_of="$folder_of/build"
  fi
  cli_of="$folder_of/src/sigrune-cli"
  [ -x "$cli_of" ] || { echo "$cli_of is missing" >&2; return 1; }
  timed 5 /dev/null "$cli_of" list "$trace" || return 1
  printf -v "${prefix}_list" %s "$seconds"
  printf -v "${prefix}_list_kb" %s "$kilobytes"
  timed 3 /dev/null "$cli_of" list "$one_message" || return 1
  printf -v "${prefix}_one_kb" %s "$kilobytes"
  timed 3 /dev/null taskset -c 0 "$cli_of" list "$trace" || return 1
  printf -v "${prefix}_list_one" %s "$seconds"
  timed 3 /dev/null "$cli_of" find "$trace" "no such text" || return 1
  printf -v "${prefix}_find" %s "$seconds"
  timed 3 /dev/null "$cli_of" export "$trace" -o "$folder/goal-export.txt" || return 1
  printf -v "${prefix}_export" %s "$seconds"
  rm -f "$folder/goal-export.txt"
  timed 3 /dev/null "$cli_of" calls --csv "$trace" || return 1
  printf -v "${prefix}_calls" %s "$seconds"
  # An older build has no h225 command: its figure stays unknown.
  printf -v "${prefix}_h225" %s ""
  if timed 3 /dev/null "$cli_of" h225 --json "$trace" 2>/dev/null; then
    printf -v "${prefix}_h225" %s "$seconds"
  fi
  printf -v "${prefix}_first" %s ""
  printf -v "${prefix}_full" %s ""
  printf -v "${prefix}_window_mb" %s ""
  printf -v "${prefix}_window_one_mb" %s ""
  if [ -x "$folder_of/bench/window_operations" ] &&
    window=$(QT_QPA_PLATFORM=offscreen "$folder_of/bench/window_operations" "$trace" \
      "$folder/goal-window.txt" 2>/dev/null | head -1); then
    # "first rows show A s, until fully loaded B s", or before first rows were shown early,
    # "until the rows show B s" (then both are B).
    printf -v "${prefix}_first" %s "$(sed -n 's/.*first rows show \([0-9.]*\) s.*/\1/p; s/.*until the rows show \([0-9.]*\) s.*/\1/p' <<<"$window")"
    printf -v "${prefix}_full" %s "$(sed -n 's/.*fully loaded \([0-9.]*\) s.*/\1/p; s/.*until the rows show \([0-9.]*\) s.*/\1/p' <<<"$window")"
    printf -v "${prefix}_window_mb" %s "$(sed -n 's/.*, peak \([0-9]*\) MB.*/\1/p' <<<"$window")"
    if window=$(QT_QPA_PLATFORM=offscreen "$folder_of/bench/window_operations" "$one_message" \
      "$folder/goal-window.txt" 2>/dev/null | head -1); then
      printf -v "${prefix}_window_one_mb" %s "$(sed -n 's/.*, peak \([0-9]*\) MB.*/\1/p' <<<"$window")"
    fi
  fi
  rm -f "$folder/goal-window.txt"
}

if [ -n "$grep_seconds" ] && goal_figures after "$programs"; then
  have_before=""
  if [ -n "$before" ]; then
    source_of=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$before/CMakeCache.txt" \
      "$before/build/CMakeCache.txt" 2>/dev/null | head -1 || true)
    echo "before: $before ($(git -C "${source_of:-$before}" log -1 --format='%h %s' 2>/dev/null || true))"
    goal_figures before "$before" && have_before=1
  fi
  awk -v grep="$grep_seconds" -v bytes="$bytes" -v messages="$messages" -v have="$have_before" \
    -v al="$after_list" -v akb="$after_list_kb" -v a1="$after_list_one" -v af="$after_find" \
    -v ae="$after_export" -v ac="$after_calls" -v afr="$after_first" -v afu="$after_full" \
    -v bl="${before_list:-}" -v bkb="${before_list_kb:-}" -v b1="${before_list_one:-}" \
    -v bf="${before_find:-}" -v be="${before_export:-}" -v bc="${before_calls:-}" \
    -v bfr="${before_first:-}" -v bfu="${before_full:-}" -v ah="$after_h225" \
    -v bh="${before_h225:-}" \
    -v a1kb="$after_one_kb" -v awm="$after_window_mb" -v aw1="$after_window_one_mb" \
    -v b1kb="${before_one_kb:-}" -v bwm="${before_window_mb:-}" -v bw1="${before_window_one_mb:-}" 'BEGIN {
    scale = messages / 1e6
    printf "\n%-52s %-22s %-22s %s\n", "Goals (1,000,000 messages)", "before", "after", "goal"
    row("list > /dev/null vs grep -c IsdnMsgData", ratio(bl, grep), ratio(al, grep), "<= 1.0x")
    row("peak memory of list vs file size", mem(bkb), mem(akb), "<= 0.25x")
    row("list: bytes a message (peak less that of one)", each(bkb - b1kb, 1024, bkb, b1kb),
      each(akb - a1kb, 1024, akb, a1kb), "<= 100")
    row("window fully loaded: bytes a message (the same)", each(bwm - bw1, 1048576, bwm, bw1),
      each(awm - aw1, 1048576, awm, aw1), "<= 130")
    row("window fully loaded vs calls --csv", times(bfu, bc), times(afu, ac), "<= 1.2x")
    row("decode rate: messages / (find - list)", rate(bf, bl), rate(af, al), ">= 2.5 M/s")
    row("export to a file", sec(be), sec(ae), "<= 1.0 s")
    row("find of a text in no message", sec(bf), sec(af), "<= 0.8 s")
    row("window: first rows / fully loaded vs list", win(bfr, bfu, bl), win(afr, afu, al),
      "<= 0.3 s, <= 1.1x")
    row("calls grouping (calls --csv - list)", diff(bc, bl), diff(ac, al), "<= 0.3 s")
    row("h225 --json vs list", ratio(bh, bl), ratio(ah, al), "<= 2x")
    row("list on one core (taskset -c 0)", sec(b1), sec(a1), "<= 1.1x before")
    if (have && b1 != "")
      printf "%-52s %-22s %-22s\n", "", "", sprintf("%.2fx before", a1 / b1)
  }
  function row(name, b, a, goal) {
    printf "%-52s %-22s %-22s %s\n", name, have ? b : "-", a, goal
  }
  function each(x, unit, whole, base) {
    return whole == "" || base == "" ? "?" : sprintf("%.0f", x * unit / messages)
  }
  function times(x, y) { return x == "" || y == "" ? "?" : sprintf("%.2fx", x / y) }
  function ratio(x, y) { return x == "" ? "?" : sprintf("%.2fx (%.3f s)", x / y, x) }
  function mem(kb) { return kb == "" ? "?" : sprintf("%.2fx (%.0f MB)", kb * 1024 / bytes, kb / 1024) }
  function rate(f, l) { return f == "" || f <= l ? "?" : sprintf("%.2f M/s", messages / (f - l) / 1e6) }
  function sec(x) { return x == "" ? "?" : sprintf("%.3f s", x / scale) }
  function diff(c, l) { return c == "" ? "?" : sprintf("%.3f s", (c - l) / scale) }
  function win(first, full, l) {
    return first == "" ? "?" : sprintf("%.2f s / %.2fx", first, full / l)
  }'
fi

# The same messages as a <Tracelist> document; the plain trace goes first, to spare the disk.
if [ -x "$cli" ]; then
  rm -f "$trace"
  trace="$folder/trace.xml"
  "$make_trace" --tracelist "$messages" "$trace" >/dev/null
  bytes=$(stat -c %s "$trace")
  cat "$trace" >/dev/null
  if timed 3 /dev/null "$cli" list "$trace"; then
    awk -v bytes="$bytes" -v messages="$messages" -v list="$seconds" -v kilobytes="$kilobytes" 'BEGIN {
      mb = bytes / 1e6
      printf "list of the <Tracelist> form:   %.3f s  %7.0f MB/s  %9.0f messages/s  (%.0f MB), peak %.0f MB\n",
        list, mb / list, messages / list, mb, kilobytes / 1024
    }'
  fi
fi
# The statistics of the calls once grouped (on the <Tracelist> form when it was made: the same
# messages); goal within 0.1 s.
if have "$programs/bench/call_statistics" "call statistics"; then
  "$programs/bench/call_statistics" "$trace" || echo "call_statistics: failed"
fi
# The filter bar's expressions over the trace, read again (goal: 0.3 s a million messages).
if have "$programs/bench/where_filter" "where"; then
  "$programs/bench/where_filter" "$trace" || echo "where_filter: failed"
fi
