#!/usr/bin/env bash
# Sets up and runs every test: the unit and window tests, the tests over
# real MIDI (a private JACK server with the dummy driver), the robustness
# tests again under AddressSanitizer and UndefinedBehaviorSanitizer, the
# threaded MIDI tests under ThreadSanitizer, and a short run of each fuzz
# target (scripts/fuzz.sh). Between them it packages the test build
# (scripts/package.sh) and checks the package. The tests then run once
# more in a Release build, where an optimised program passes every
# moment sooner: a test that waits for a state passes in both.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"

export QT_QPA_PLATFORM=offscreen

echo "== build"
"$here/scripts/build.sh" "$here/build-test" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_INSTALL_PREFIX=/usr
echo "== tests"
(cd "$here/build-test" && ctest --output-on-failure -j2 --timeout 900)

echo "== the Debian package, made from the test build, checked and run unpacked"
"$here/scripts/package.sh" "$here/build-test"

echo "== the tests again, Release build"
"$here/scripts/build.sh" "$here/build-test-release" -DCMAKE_BUILD_TYPE=Release -DCORVANE_BENCHMARKS=OFF
(cd "$here/build-test-release" && ctest --output-on-failure -j2 --timeout 900)

echo "== sanitizer build and robustness tests"
cmake -S "$here" -B "$here/build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON
cmake --build "$here/build-sanitize" -j"$(nproc)" --target robustness_tests
(cd "$here/build-sanitize" && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j2 --timeout 900 -L robustness)

echo "== thread-sanitizer build and threaded MIDI tests"
cmake -S "$here" -B "$here/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_TSAN=ON \
  -DCORVANE_BENCHMARKS=OFF
cmake --build "$here/build-tsan" -j"$(nproc)" --target thread_tests
# Any report fails its test (exit code 66).
(cd "$here/build-tsan" && TSAN_OPTIONS="suppressions=$here/tests/tsan-suppressions.txt halt_on_error=0 exitcode=66" \
  ctest --output-on-failure --timeout 900 -L threads)

echo "== fuzzing, a few seconds per target"
"$here/scripts/fuzz.sh" 7
