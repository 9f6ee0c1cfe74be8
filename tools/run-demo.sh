#!/usr/bin/env bash
# Installs the dependencies, builds Ringseam and opens the bundled demo sample
# (synthesised at build time) in the program. Without a display it renders
# the window with a loop found and its seam view to demo-window.png instead.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
if [ "${RINGSEAM_SKIP_DEPS:-0}" != 1 ]; then
  "$here/tools/install-deps.sh"
fi
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --parallel "$(nproc)" --target ringseam ringseam-cli make-demo-sample
demo="$build/demo-cello.wav"
"$build/tools/make-demo-sample" "$demo"
"$build/src/cli/ringseam-cli" info "$demo"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  out="$PWD/demo-window.png"
  QT_QPA_PLATFORM=offscreen "$build/src/app/ringseam" --screenshot "$out" --auto-loop --seam "$demo"
  echo "No display: rendered the main window with a loop found to $out"
  exit 0
fi
exec "$build/src/app/ringseam" "$demo"
