#!/usr/bin/env bash
# Installs what is needed, builds with gcc and runs every test; then builds everything again with
# clang under AddressSanitizer and UndefinedBehaviorSanitizer with the libFuzzer targets, runs the
# unit tests there and each fuzz target for a few seconds. Two builds instead of three.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"

echo "== gcc: build and test"
# Warnings fail both builds: the project builds clean with gcc and with clang.
bash "$root/scripts/build.sh" "$root/build" -DPULSMIR_WARNINGS_AS_ERRORS=ON
# The unit tests two at a time; the end-to-end cases one by one, since each starts a desktop of
# its own and some listen on the program's fixed ports.
(cd "$root/build" && ctest --output-on-failure --timeout 600 -L unit -j2 &&
  ctest --output-on-failure --timeout 600 -LE unit)

echo "== clang: unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# Debug keeps the assertions; -O1 keeps the tests and the fuzzing fast enough.
CC=clang CXX=clang++ bash "$root/scripts/build.sh" "$root/build-clang" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPULSMIR_FUZZ=ON -DPULSMIR_WARNINGS_AS_ERRORS=ON \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
(cd "$root/build-clang" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0" \
  ctest --output-on-failure --timeout 600 -L unit -j2)

echo "== clang: fuzz targets, a few seconds each"
# Replays the seeds and every earlier finding kept in fuzz/seeds/, then fuzzes a little.
PULSMIR_FUZZ_BUILD="$root/build-clang" bash "$root/scripts/fuzz.sh" 5
