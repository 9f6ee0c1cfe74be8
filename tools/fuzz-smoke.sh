#!/usr/bin/env bash
# Fuzz stage of CI. Builds the libFuzzer harnesses with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer, writes the seed corpus, and
# runs each harness for a fixed time on the seeds, the kept regression inputs
# and the dictionary. Any finding (crash, sanitizer report, violated
# invariant, timeout, memory blow-up) fails the script; the input is kept in
# <build>/fuzz-smoke/<harness>/findings/.
# Usage: tools/fuzz-smoke.sh [build-dir]            (default: build-fuzz)
# RINGSEAM_FUZZ_SECONDS: seconds per harness (default 60).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-fuzz}"
seconds="${RINGSEAM_FUZZ_SECONDS:-60}"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -g1" \
  -DCMAKE_CXX_COMPILER=clang++ -DRINGSEAM_BUILD_FUZZ=ON -DRINGSEAM_BUILD_GUI=OFF \
  -DRINGSEAM_BUILD_BENCH=OFF -DRINGSEAM_BUILD_TESTS=OFF "-DRINGSEAM_SANITIZE=address;undefined" >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target fuzz_load fuzz_pipeline fuzz_table fuzz_make_seeds

work="$build/fuzz-smoke"
rm -rf "$work"
mkdir -p "$work/seeds"
"$build/fuzz/fuzz_make_seeds" "$work/seeds"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for harness in fuzz_load fuzz_pipeline fuzz_table; do
  mkdir -p "$work/$harness/corpus" "$work/$harness/findings"
  echo "== $harness: ${seconds} s"
  # New inputs go to the first folder; the seeds and kept inputs are only read.
  if "$build/fuzz/$harness" -dict="$here/fuzz/ringseam.dict" -max_total_time="$seconds" \
       -timeout=10 -rss_limit_mb=2048 -max_len=16384 -print_final_stats=1 \
       -artifact_prefix="$work/$harness/findings/" \
       "$work/$harness/corpus" "$work/seeds" "$here/tests/robust/inputs" >"$work/$harness.log" 2>&1; then
    grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec)' "$work/$harness.log" || true
  else
    echo "$harness: FINDING (log: $work/$harness.log)" >&2
    grep -v '^#' "$work/$harness.log" | tail -n 60 >&2
    status=1
  fi
done
exit "$status"
