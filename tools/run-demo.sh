#!/usr/bin/env bash
# Installs the dependencies, builds Ringseam and opens the bundled demo sample
# in the program. On a machine without a display set QT_QPA_PLATFORM=offscreen
# and use `ringseam --screenshot OUT.png FILE` instead (see README).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
if [ "${RINGSEAM_SKIP_DEPS:-0}" != 1 ]; then
  "$here/tools/install-deps.sh"
fi
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --parallel "$(nproc)" --target ringseam ringseam-cli make-demo-sample
"$build/tools/make-demo-sample" "$build/demo-cello.wav"
exec "$build/src/app/ringseam" "$build/demo-cello.wav"
