#!/usr/bin/env bash
# Installs the build dependencies (when run as root or with sudo available),
# builds Ringseam in Release with warnings on, and runs every test; the run
# fails when the tests leave anything in their temporary folder.
# Usage: tools/test.sh [build-dir]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
if [ "${RINGSEAM_SKIP_DEPS:-0}" != 1 ]; then
  "$here/tools/install-deps.sh"
fi
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
"$here/tools/check-tmp-clean.sh" ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 600
