#!/usr/bin/env bash
# Sanitizer stage of CI. Builds the core (GUI off) with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test through ctest; then builds
# the tests that exercise the bank worker thread with ThreadSanitizer and runs
# them. Any sanitizer report fails the test that triggered it, and so this
# script (non-zero exit), as do files the tests leave in their temporary
# folder.
# Usage: tools/ci-sanitizers.sh [build-root]        (default: build-san)
# RINGSEAM_TSAN_TARGETS: test executables to run under ThreadSanitizer, each
# optionally as target:gtest-filter (default: the bank worker's tests, and the
# batch tests, whose ringseam-cli runs files on several threads at once and is
# itself built with ThreadSanitizer: a report there fails its test).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
root="${1:-$here/build-san}"
jobs="$(nproc)"
tsan_targets="${RINGSEAM_TSAN_TARGETS:-analysis_tests cli_tests:*CliBatch*}"

# -O1 keeps the instrumented tests quick while stack traces stay readable.
common=(-G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -g1"
        -DRINGSEAM_BUILD_GUI=OFF -DRINGSEAM_BUILD_BENCH=OFF -DRINGSEAM_BUILD_FUZZ=OFF
        -DRINGSEAM_AUDIO_TESTS=OFF -DRINGSEAM_BUILD_TESTS=ON)

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

start=$SECONDS
echo "== AddressSanitizer + UndefinedBehaviorSanitizer: all core tests"
cmake -S "$here" -B "$root/asan" "${common[@]}" "-DRINGSEAM_SANITIZE=address;undefined" >/dev/null
cmake --build "$root/asan" --parallel "$jobs"
"$here/tools/check-tmp-clean.sh" ctest --test-dir "$root/asan" --output-on-failure --parallel "$jobs" --timeout 900
echo "   done in $((SECONDS - start)) s"

start=$SECONDS
echo "== ThreadSanitizer: $tsan_targets"
cmake -S "$here" -B "$root/tsan" "${common[@]}" -DRINGSEAM_SANITIZE=thread >/dev/null
build_targets=()
for entry in $tsan_targets; do
  build_targets+=("${entry%%:*}")
done
cmake --build "$root/tsan" --parallel "$jobs" --target "${build_targets[@]}"
for entry in $tsan_targets; do
  target="${entry%%:*}"
  filter="*"
  [ "$entry" != "$target" ] && filter="${entry#*:}"
  exe="$(find "$root/tsan" -type f -name "$target" -perm -u+x | head -n 1)"
  if [ -z "$exe" ]; then
    echo "ThreadSanitizer: no executable built for $target" >&2
    exit 1
  fi
  echo "-- $exe ($filter)"
  "$exe" --gtest_brief=1 "--gtest_filter=$filter"
done
echo "   done in $((SECONDS - start)) s"
