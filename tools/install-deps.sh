#!/usr/bin/env bash
# Installs what building and testing Ringseam needs on Debian 12.
# Run as root, or as a user who may use sudo: it asks for sudo itself then.
# Safe to run again.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "install-deps.sh: installing packages needs root; run it as root (sudo is not installed)" >&2
    exit 1
  fi
  exec sudo "$0" "$@"
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
  build-essential cmake ninja-build pkg-config \
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev \
  libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev \
  clang libclang-rt-14-dev \
  pulseaudio pulseaudio-utils libpulse-dev dbus-x11 \
  sox sndfile-programs \
  qt6-qpa-plugins fonts-dejavu-core \
  ca-certificates
