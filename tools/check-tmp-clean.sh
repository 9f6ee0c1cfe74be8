#!/usr/bin/env bash
# Runs a command (the test run) with TMPDIR pointing at a fresh, empty folder
# of its own, and fails when the command leaves anything there: every test
# must remove what it creates. The folder's leftovers are listed, then it is
# removed either way.
# Qt and PulseAudio clients keep per-user runtime files (sockets, locks) in
# XDG_RUNTIME_DIR and fall back to the temporary folder without one; they get
# a private runtime folder beside it, which is not checked.
# Usage: tools/check-tmp-clean.sh COMMAND [ARG...]
# Exit status: the command's when it failed, else 1 when it left files, else 0.
set -uo pipefail
if [ $# -eq 0 ]; then
  echo "usage: $0 COMMAND [ARG...]" >&2
  exit 2
fi
base="$(mktemp -d "${TMPDIR:-/tmp}/ringseam-run.XXXXXX")" || exit 1
trap 'rm -rf "$base"' EXIT
mkdir -m 700 "$base/tmp" "$base/runtime"
TMPDIR="$base/tmp" XDG_RUNTIME_DIR="$base/runtime" "$@"
status=$?
leftovers="$(cd "$base/tmp" && find . -mindepth 1 -maxdepth 2 | sort)"
if [ -n "$leftovers" ]; then
  echo "== the run left files in its temporary folder (first two levels):" >&2
  echo "$leftovers" >&2
  [ "$status" -eq 0 ] && status=1
else
  echo "== the temporary folder is empty after the run"
fi
exit "$status"
