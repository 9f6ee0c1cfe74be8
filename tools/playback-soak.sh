#!/usr/bin/env bash
# Playback under load, checked sample for sample.
#
# Starts a private PulseAudio server with a null sink (48 kHz stereo), and B
# busy processes that load the CPUs and end by themselves. Then, N times:
# records the sink's monitor while `ringseam --play-for S` plays a looped
# 48 kHz stereo sample into it, and compares every recorded sample with the
# stream that playback must produce. Beside it, under the same load, the
# system player `paplay` plays a file of that same stream N times, checked
# the same way. Prints one line per run, then "N passed, M failed" for each
# player; a failing run shows the time of its first difference.
# With --ui-stall, each run also plays the loop through the program's own
# output with its user-interface thread blocked for 2 s in the middle
# (tests/audio's check, which records and compares for itself); that run
# passes when nothing is missing from the sound.
#
# Usage: tools/playback-soak.sh [--runs N] [--seconds S] [--busy B]
#                               [--no-paplay] [--ui-stall] [BUILD_DIR]
# Defaults: 20 runs of 10 s with 2 busy processes; BUILD_DIR is build/.
# A run passes when, from the first sound on, every sample equals the stream
# until the sound ends, only silence follows, and at least S - 1 seconds were
# heard (the program's start-up counts against its S seconds).
# RINGSEAM_SOAK_KEEP=DIR keeps the recording of each failing run and the
# players' output there, for a closer look.
# Exit status 0 when every ringseam run is exact, stalled ones included
# (paplay's count is only reported), 1 otherwise, 2 on bad usage, 77 when PulseAudio is missing.
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
runs=20
seconds=10
busy=2
paplay_too=1
stall=0
build="$here/build"
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="${2:-}"; shift 2 ;;
    --seconds) seconds="${2:-}"; shift 2 ;;
    --busy) busy="${2:-}"; shift 2 ;;
    --no-paplay) paplay_too=0; shift ;;
    --ui-stall) stall=1; shift ;;
    -h|--help) sed -n '2,/^set /p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) build="$1"; shift ;;
  esac
done
for n in "$runs" "$seconds" "$busy"; do
  [[ "$n" =~ ^[0-9]+$ ]] || { echo "--runs, --seconds and --busy take whole numbers" >&2; exit 2; }
done
[ "$runs" -ge 1 ] && [ "$seconds" -ge 2 ] || { echo "at least 1 run of 2 s" >&2; exit 2; }
ringseam="$build/src/app/ringseam"
check="$build/tools/playback-soak-check"
stall_check="$build/tests/audio/audio_playback_check"
for f in "$ringseam" "$check" $([ "$stall" = 1 ] && echo "$stall_check"); do
  [ -x "$f" ] || { echo "$f is missing: build first" >&2; exit 2; }
done
command -v parec >/dev/null && command -v paplay >/dev/null || {
  echo "PulseAudio (pulseaudio-utils) is not installed: soak skipped" >&2
  exit 77
}

work="$(mktemp -d /tmp/ringseam-soak.XXXXXX)"
pulse="$work/pulse"
busy_pids=()
cleanup() {
  for pid in "${busy_pids[@]}"; do kill "$pid" 2>/dev/null; done
  "$here/tools/pulse-null-sink.sh" stop "$pulse" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

"$here/tools/pulse-null-sink.sh" start "$pulse" >"$work/pulse-start.log" 2>&1 || {
  cat "$work/pulse-start.log" >&2
  exit 1
}
export PULSE_SERVER="unix:$pulse/native" QT_QPA_PLATFORM=offscreen
sink=ringseam_null_stereo
pactl set-default-sink "$sink" || exit 1

# The stream lasts longer than any run plays, so a run that plays on is
# caught as sound past its end only when it really overruns.
"$check" sample "$work/sample.wav" "$work/stream.wav" "$((seconds + 2))" || exit 1

# Busy processes that end by themselves, whatever happens to this script.
players=$((paplay_too + stall + 1))
busy_seconds=$((runs * players * (seconds + 6) + 30))
for _ in $(seq "$busy"); do
  timeout "$busy_seconds" sh -c 'while :; do :; done' &
  busy_pids+=($!)
done

# Records the monitor while "$@" plays, then checks the recording. Prints
# the result line; returns 0 when exact.
record_run() {
  local raw="$work/run.raw" keep
  rm -f "$raw"
  parec --device="$sink.monitor" --raw --format=s16le --rate=48000 --channels=2 --latency-msec=20 >"$raw" &
  local rec=$!
  # The null sink renders silence while idle: bytes arriving prove the
  # recording runs before the sound starts.
  for _ in $(seq 100); do
    [ "$(stat -c %s "$raw" 2>/dev/null || echo 0)" -gt 19200 ] && break
    sleep 0.05
  done
  "$@" >"$work/player.log" 2>&1
  local status=$?
  sleep 0.5
  kill "$rec" 2>/dev/null
  wait "$rec" 2>/dev/null
  keep="${RINGSEAM_SOAK_KEEP:-}"
  [ -n "$keep" ] && mkdir -p "$keep" && cat "$work/player.log" >>"$keep/players.log"
  if [ "$status" -ne 0 ]; then
    echo "player failed with status $status: $(head -c 300 "$work/player.log")"
    return 1
  fi
  "$check" compare "$work/stream.wav" "$raw" "$((seconds - 1))" || {
    [ -n "$keep" ] && cp "$raw" "$keep/$(basename "$1")-$(date +%s%N).raw"
    return 1
  }
}

summary() {
  local name="$1" passed="$2" failed="$3"
  echo "$name: $passed passed, $failed failed"
}

echo "== $runs runs of $seconds s with $busy busy processes on $(nproc) cores"
passed=0
failed=0
paplay_passed=0
paplay_failed=0
stall_passed=0
stall_failed=0
# The two players take turns, so both meet the same load.
for i in $(seq "$runs"); do
  if line="$(record_run "$ringseam" --play-for "$seconds" "$work/sample.wav")"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
  echo "ringseam run $i: $line"
  if [ "$stall" = 1 ]; then
    if line="$("$stall_check" --deep --loop "$seconds" --ui-stall 2 --sink "$sink" --channels 2 --rate 48000 2>&1)"; then
      stall_passed=$((stall_passed + 1))
    else
      stall_failed=$((stall_failed + 1))
    fi
    echo "ringseam (user interface stalled 2 s) run $i: $(echo "$line" | tail -n 2 | tr '\n' ' ')"
  fi
  [ "$paplay_too" = 1 ] || continue
  if line="$(record_run paplay --device="$sink" "$work/stream.wav")"; then
    paplay_passed=$((paplay_passed + 1))
  else
    paplay_failed=$((paplay_failed + 1))
  fi
  echo "paplay run $i: $line"
done

[ "$paplay_too" = 1 ] && summary "paplay" "$paplay_passed" "$paplay_failed"
[ "$stall" = 1 ] && summary "ringseam (user interface stalled 2 s)" "$stall_passed" "$stall_failed"
summary "ringseam" "$passed" "$failed"
[ "$failed" -eq 0 ] && [ "$stall_failed" -eq 0 ]
