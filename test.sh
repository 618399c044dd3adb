#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
# Usage: ./test.sh             the release build in build/
#        ./test.sh --sanitize  the same tests under AddressSanitizer and UBSan, in build-sanitize/
#        ./test.sh --tsan      the Qt-free tests under ThreadSanitizer, in build-tsan/
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh

case "${1:-}" in
  "")
    scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
    ctest --test-dir build --output-on-failure -j "$(nproc)"
    ;;
  --sanitize)
    scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIGRUNE_SANITIZE=ON \
      -DSIGRUNE_BUILD_BENCH=OFF
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir build-sanitize --output-on-failure -j "$(nproc)"
    ;;
  --tsan)
    # Debian's Qt is not built with ThreadSanitizer, so only the parts without it are tested.
    scripts/build.sh build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIGRUNE_TSAN=ON \
      -DSIGRUNE_BUILD_WINDOW=OFF -DSIGRUNE_BUILD_BENCH=OFF
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
      ctest --test-dir build-tsan --output-on-failure -j "$(nproc)"
    ;;
  *)
    echo "usage: ./test.sh [--sanitize | --tsan]" >&2
    exit 2
    ;;
esac
