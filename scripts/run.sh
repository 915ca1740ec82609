#!/usr/bin/env bash
# Sets up and runs Corvane against its built-in Mirage emulator.
# With no display, writes a screenshot of every window into ./screenshots.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$here/build-release" -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "$(uname)" = "Linux" ]; then
  echo "corvane: no display here, so the windows are rendered into ./screenshots instead."
  QT_QPA_PLATFORM=offscreen "$here/build-release/app/corvane" --virtual-mirage --screenshots ./screenshots
  echo "corvane: open the PNG files in ./screenshots to see the program."
else
  exec "$here/build-release/app/corvane" --virtual-mirage "$@"
fi
