#!/usr/bin/env bash
# Installs every Debian package Corvane needs to build, run and test.
# For Debian 12 (bookworm); run as root, or as a user who may use sudo.
# Skips the download when everything is already there.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-qpa-plugins libqt6sql6-sqlite
  libgl-dev libglx-dev
  librtmidi-dev libasound2-dev libsndfile1-dev libsamplerate0-dev libjack-jackd2-dev jackd2
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth fonts-dejavu-core openbox
  sox python3 python3-mido
  # the Debian package (scripts/package.sh): manual pages, icons, its checks
  scdoc librsvg2-bin dpkg-dev fakeroot file lintian desktop-file-utils appstream shared-mime-info man-db
  # building sounds from SoundFonts; real material for its tests
  libgig-dev fluid-soundfont-gm sound-theme-freedesktop
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: every package is installed"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
# jackd2 asks whether to enable realtime scheduling; the default answer is fine.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections 2>/dev/null || true
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
