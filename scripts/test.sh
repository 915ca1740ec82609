#!/usr/bin/env bash
# Sets up and runs every test: the unit and window tests, the tests over
# real MIDI (a private JACK server with the dummy driver), and the robustness
# tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"

export QT_QPA_PLATFORM=offscreen

echo "== build"
"$here/scripts/build.sh" "$here/build-test" -DCMAKE_BUILD_TYPE=Debug
echo "== tests"
(cd "$here/build-test" && ctest --output-on-failure -j2 --timeout 900)

echo "== sanitizer build and robustness tests"
cmake -S "$here" -B "$here/build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON
cmake --build "$here/build-sanitize" -j"$(nproc)" --target robustness_tests
(cd "$here/build-sanitize" && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j2 --timeout 900 -L robustness)
