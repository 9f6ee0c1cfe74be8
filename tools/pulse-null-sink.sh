#!/usr/bin/env bash
# Starts or stops a private PulseAudio server with two null sinks and nothing
# else: "ringseam_null" (s16le, mono, 44100 Hz; the default) and
# "ringseam_null_stereo" (s16le, stereo, 48000 Hz), reachable at
# unix:DIR/native. Used by the audio tests; works as root and as a user.
# Usage: tools/pulse-null-sink.sh start|stop DIR
# Exit 77 when PulseAudio is not installed (the tests are skipped).
set -uo pipefail
action="${1:-}"
dir="${2:-}"
if [ -z "$action" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|stop DIR" >&2
  exit 2
fi

# Everything the daemon and its clients look up stays inside DIR.
export XDG_RUNTIME_DIR="$dir" PULSE_RUNTIME_PATH="$dir" PULSE_STATE_PATH="$dir/state"
export HOME="$dir" PULSE_SERVER="unix:$dir/native"
unset DBUS_SESSION_BUS_ADDRESS

stop_server() {
  if [ -f "$dir/pid" ]; then
    local pid
    pid="$(cat "$dir/pid" 2>/dev/null || true)"
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$pid" 2>/dev/null || true
    fi
  fi
}

case "$action" in
  start)
    command -v pulseaudio >/dev/null && command -v pactl >/dev/null && command -v parec >/dev/null || {
      echo "PulseAudio (pulseaudio, pulseaudio-utils) is not installed: audio tests skipped" >&2
      exit 77
    }
    stop_server
    rm -rf "$dir"
    mkdir -p "$dir/state"
    chmod 700 "$dir"
    # Rewinds are off: a rewound stretch of silence has already gone to the
    # monitor, so the start of a new stream would be lost from the recording.
    # As root PulseAudio warns that it is not meant for root; a per-user
    # server with an explicit module list (-n) still works.
    pulseaudio --daemonize=yes --system=false -n --exit-idle-time=-1 \
      --use-pid-file=yes --realtime=no --high-priority=no --disable-shm=yes \
      --log-target="file:$dir/pulse.log" \
      --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
      --load="module-null-sink sink_name=ringseam_null rate=44100 channels=1 format=s16le norewinds=1" \
      --load="module-null-sink sink_name=ringseam_null_stereo rate=48000 channels=2 format=s16le norewinds=1" \
      || { echo "pulseaudio did not start:" >&2; cat "$dir/pulse.log" >&2; exit 1; }
    for _ in $(seq 100); do
      pactl info >/dev/null 2>&1 && break
      sleep 0.1
    done
    pactl set-default-sink ringseam_null || { cat "$dir/pulse.log" >&2; exit 1; }
    pactl info | grep -E "Server String|Default Sink"
    pactl list short sinks
    ;;
  stop)
    stop_server
    rm -rf "$dir"
    ;;
  *)
    echo "unknown action: $action" >&2
    exit 2
    ;;
esac
