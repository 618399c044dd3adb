#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while with a fixed seed, starting from
# its corpus in fuzz/corpus (one folder per target). Any crash, leak or sanitizer report fails.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/install-deps.sh --fuzz
scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DSIGRUNE_BUILD_FUZZERS=ON -DSIGRUNE_BUILD_TESTS=OFF -DSIGRUNE_BUILD_BENCH=OFF \
  -DSIGRUNE_BUILD_WINDOW=OFF

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for corpus in fuzz/corpus/*/; do
  target="$(basename "$corpus")"
  echo "Fuzzing $target for $seconds s"
  mkdir "$work/$target"
  build-fuzz/fuzz/${target}_fuzzer -seed=1 -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="build-fuzz/${target}-" "$work/$target" "$corpus"
done
