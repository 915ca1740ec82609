#!/usr/bin/env bash
# Installs every Debian package Corvane needs to build, run and test.
# Run as root on Debian 12 (bookworm).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
  build-essential cmake ninja-build pkg-config \
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6svg6-dev \
  libgl-dev libglx-dev \
  librtmidi-dev libasound2-dev libjack-jackd2-dev jackd2 \
  libgtest-dev libgmock-dev libbenchmark-dev \
  xvfb xauth fonts-dejavu-core \
  qt6-qpa-plugins
