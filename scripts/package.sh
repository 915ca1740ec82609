#!/usr/bin/env bash
# Builds Corvane's Debian package and checks it:
#   scripts/package.sh [build dir]
# Without a build dir it makes an optimised build in build-package (the
# Debian build flags, no tests). Given one (the test command gives its Debug
# build), it packages that, stripped. Then: lintian without errors,
# desktop-file-validate and appstreamcli validate on what the package
# installs, and the package unpacked into an empty folder and run from
# there: the versions and help without a display, and a screenshot run whose
# audio output must be the unpacked tree's own. Leaves the .deb in the
# current folder's build dir and prints its file list.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"

if [ $# -ge 1 ]; then
  build="$(cd "$1" && pwd)"
  # The package's layout: the library folder Debian uses under /usr.
  cmake "$build" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
  cmake --build "$build" -j"$(nproc)" --target corvane corvane-disk mirage-emu corvane_audio_output \
    corvane_desktop_files
else
  build="$here/build-package"
  # Debian's flags with every hardening feature (bindnow too).
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  export CFLAGS="$(dpkg-buildflags --get CFLAGS)" CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS)"
  export CPPFLAGS="$(dpkg-buildflags --get CPPFLAGS)" LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
  CXXFLAGS="$CXXFLAGS $CPPFLAGS"
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCORVANE_TESTS=OFF -DCORVANE_BENCHMARKS=OFF
  cmake --build "$build" -j"$(nproc)"
fi

echo "== package"
rm -rf "$build/package"
(cd "$build" && cpack -G DEB -B "$build/package" >/dev/null)
deb="$(ls "$build"/package/corvane_*.deb)"
echo "$deb"
dpkg-deb -I "$deb" | sed -n '/Package:/,$p'

failed=0
check() { # name command...: runs a check, shows its output, notes a failure
  local name="$1"; shift
  echo "== $name"
  if ! "$@"; then
    echo "package: $name failed" >&2
    failed=1
  fi
}

tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
echo "== files"
(cd "$tree" && find . -type f -o -type l | sort)

check "lintian" lintian --fail-on error "$deb"
check "desktop-file-validate" desktop-file-validate "$tree"/usr/share/applications/*.desktop
check "appstreamcli validate" appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml
mime_ok() {
  mkdir -p "$tree/check/mime"
  cp -r "$tree/usr/share/mime/packages" "$tree/check/mime/"
  local out; out="$(XDG_DATA_DIRS="$tree/check" update-mime-database "$tree/check/mime" 2>&1)"
  rm -rf "$tree/check"
  [ -z "$out" ] || { echo "$out"; return 1; }
}
check "update-mime-database" mime_ok

# Nothing installed may name the folder it was built in.
no_build_folder() { ! grep -rlF "$build" "$tree/usr"; }
check "no build folder named" no_build_folder

# The unpacked programs, as a user runs them: no display for the first three.
version="$(sed -n 's/^#define CORVANE_VERSION "\(.*\)"/\1/p' "$build/generated/CorvaneVersion.h")"
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
says() { # expected command...: the command succeeds and its first line is the expected text
  local expected="$1"; shift
  local out; out="$("$@")" || return 1
  echo "$out" | head -3
  [ "$(echo "$out" | head -1)" = "$expected" ]
}
check "corvane --version" says "corvane $version" nodisplay "$tree/usr/bin/corvane" --version
check "corvane-disk --help" says "Usage: corvane-disk COMMAND ..." nodisplay "$tree/usr/bin/corvane-disk" --help
check "mirage-emu --help" says "Usage: mirage-emu [options]" nodisplay "$tree/usr/bin/mirage-emu" --help
check "man corvane-disk" says "corvane-disk(1) General Commands Manual corvane-disk(1)" \
  bash -c 'MANWIDTH=80 man -l "$1" 2>/dev/null | tr -s " "' _ "$tree/usr/share/man/man1/corvane-disk.1.gz"

# Every window, and the audio output module found beside the unpacked program.
screenshots() {
  local out
  out="$(QT_QPA_PLATFORM=offscreen HOME="$tree/home" XDG_RUNTIME_DIR="$tree/run" \
    "$tree/usr/bin/corvane" --virtual-mirage --screenshots "$tree/shots" 2>/dev/null)" || return 1
  echo "$out" | grep "audio output"
  echo "$out" | grep -q "^corvane: audio output $tree/usr/[^ ]*/corvane_audio_output.so: " &&
    [ "$(ls "$tree/shots" | wc -l)" -gt 20 ]
}
mkdir -p "$tree/home" "$tree/run"
chmod 700 "$tree/run"
check "corvane --screenshots from the unpacked tree" screenshots

if [ "$failed" -ne 0 ]; then
  echo "package: $deb has failed a check" >&2
  exit 1
fi
echo "package: $deb passed every check"
