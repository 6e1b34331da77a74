#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test; then runs the unit tests once more in an
# AddressSanitizer + UndefinedBehaviorSanitizer build, and each fuzz target for a few seconds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"

echo "== build and test"
bash "$root/scripts/build.sh" "$root/build"
(cd "$root/build" && ctest --output-on-failure --timeout 600)

echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
bash "$root/scripts/build.sh" "$root/build-asan" -DPULSMIR_SANITIZE=ON -DPULSMIR_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure --timeout 600 -L unit)

echo "== fuzz targets, a few seconds each"
# Replays the seeds and every earlier finding kept in fuzz/seeds/, then fuzzes a little.
bash "$root/scripts/fuzz.sh" 5
