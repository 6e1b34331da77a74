#!/usr/bin/env bash
# Builds the libFuzzer targets into build-fuzz/ with clang and runs each for a while:
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# PULSMIR_FUZZ_BUILD names another build folder configured with -DPULSMIR_FUZZ=ON (CI's clang
# build, which runs the unit tests too).
# Every target by default, 600 seconds each, as many at once as there are cores
# (PULSMIR_FUZZ_JOBS). New inputs go to the corpus folder <corpus>/<target>/, which lasts
# beyond the build folder so that each run starts where the last ones stopped:
# $PULSMIR_FUZZ_CORPUS, else ~/.cache/pulsmir-fuzz/corpus (made when missing). Crashes, hangs,
# leaks and sanitizer reports go to build-fuzz/findings/<target>/ with the target's log. Fails
# when any target reports one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-600}"
shift || true
build="${PULSMIR_FUZZ_BUILD:-$root/build-fuzz}"
jobs="${PULSMIR_FUZZ_JOBS:-$(nproc)}"
corpus="${PULSMIR_FUZZ_CORPUS:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/pulsmir-fuzz/corpus}"
mkdir -p "$corpus"
all=(fuzz_profile_ini fuzz_skin_load fuzz_png fuzz_jpeg fuzz_bmp fuzz_prs fuzz_wave fuzz_sstp_reply
     fuzz_local_talk fuzz_archive fuzz_language fuzz_perf_block fuzz_exposition)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

# ccache, as in build.sh: a fresh clone or a second checkout reuses what was compiled.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$root")}" CCACHE_NOHASHDIR=1
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  # Debug keeps the assertions; -O1 keeps the runs fast enough to find something.
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DPULSMIR_FUZZ=ON \
    -DPULSMIR_BUILD_TESTS=OFF -DPULSMIR_BUILD_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" "${launcher[@]}"
fi
cmake --build "$build" --target fuzz_all --parallel "$(nproc)"
bash "$root/fuzz/make_corpora.sh" "$build" "$corpus" >/dev/null

# run TARGET: one fuzzing session; its outcome lands in findings/<target>/result.
run() {
  local target="$1"
  local findings="$build/findings/$target"
  mkdir -p "$findings"
  rm -f "$findings/result"
  local status=0
  ASAN_OPTIONS="detect_leaks=1" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0" \
  QT_QPA_PLATFORM=offscreen \
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -dict="$root/fuzz/dict/$target.dict" -artifact_prefix="$findings/" -print_final_stats=1 \
      "$corpus/$target" >"$findings/fuzz.log" 2>&1 || status=$?
  local runs
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$findings/fuzz.log" | tail -1)"
  local inputs
  inputs="$(find "$corpus/$target" -type f | wc -l)"
  if [ "$status" -eq 0 ]; then
    echo "$target: ${seconds} s, ${runs:-?} runs, corpus $inputs inputs, clean" >"$findings/result"
  else
    echo "$target: FAILED (exit $status) after ${runs:-?} runs; see $findings/" >"$findings/result"
  fi
}

echo "fuzz: ${#targets[@]} targets, ${seconds} s each, $jobs at a time"
for target in "${targets[@]}"; do
  [ -x "$build/fuzz/$target" ] || { echo "fuzz: no target $target" >&2; exit 2; }
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
    wait -n || true
  done
  run "$target" &
done
wait

failed=0
for target in "${targets[@]}"; do
  result="$build/findings/$target/result"
  if [ ! -f "$result" ]; then
    echo "$target: no result"
    failed=1
    continue
  fi
  cat "$result"
  if grep -q FAILED "$result"; then
    failed=1
    grep -m1 -A30 -E '^==[0-9]+==ERROR|runtime error|^==[0-9]+== ERROR: libFuzzer|broken:' \
      "$build/findings/$target/fuzz.log" || tail -30 "$build/findings/$target/fuzz.log"
  fi
done
exit "$failed"
