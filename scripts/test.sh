#!/usr/bin/env bash
# Builds everything and runs every test. --sanitize does the same under AddressSanitizer and UBSan in build-asan/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = "--sanitize" ]; then
  dir="$top/build-asan"
  bash "$top/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Debug -DXP_SANITIZE=ON -DXP_BENCH=OFF
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  dir="$top/build"
  bash "$top/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Release
fi
ctest --test-dir "$dir" --output-on-failure -j "${XP_JOBS:-$(nproc)}"
