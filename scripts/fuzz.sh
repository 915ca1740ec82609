#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang (in build-fuzz) and runs
# each for the given number of seconds, one after another on one core, from
# the corpus kept in tests/fuzz/corpus/<target>. New inputs go to
# build-fuzz/fuzz-work. Prints executions and coverage per target; a crash,
# hang, leak or broken invariant prints its reproducer, and the script then
# exits non-zero.
#
#   scripts/fuzz.sh [seconds per target, default 60] [target...]
#
# Targets: receive, emulator, presets, settings, wav, sound, audio, disk, sfz,
# soundfont.
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
[ $# -gt 0 ] && shift
build="$here/build-fuzz"

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
echo "== fuzz build (clang, $build)"
mkdir -p "$build"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCHMARKS=OFF "${launcher[@]}" >"$build/configure.log" 2>&1 \
  || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j"$(nproc)" --target fuzzers || exit 1

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for t in receive emulator presets settings wav sound audio disk sfz soundfont; do
    [ -x "$build/tests/fuzz/fuzz_$t" ] && targets+=("$t")
  done
fi

# Allocation stacks are left out while fuzzing (they cost more than the code
# under test); a reproducer is run again with them for the report.
fast_asan="malloc_context_size=0:quarantine_size_mb=64:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

failed=0
total=0
printf "== fuzzing, %s s per target\n" "$seconds"
for t in "${targets[@]}"; do
  bin="$build/tests/fuzz/fuzz_$t"
  if [ ! -x "$bin" ]; then echo "fuzz: no target $t"; failed=1; continue; fi
  work="$build/fuzz-work/$t"
  artifacts="$build/fuzz-artifacts/$t"
  log="$build/fuzz-$t.log"
  mkdir -p "$work" "$artifacts" "$here/tests/fuzz/corpus/$t"
  rm -f "$artifacts"/*
  options=()
  # The wire's seeds hold whole wavesample dumps and a burst of thousands of
  # messages, up to some milliseconds an input, and the rare branches only
  # they reach win them (and mutants as long) most of the fuzzer's choices:
  # a short run would spend itself on a few thousand of them. With each
  # input's share scaled down by its running time they are still chosen and
  # mutated, up to the longest dump, only less often, and the run reaches
  # tens of thousands of the shorter mixes of replies, dumps and junk that
  # most of the receive path's branches need.
  [ "$t" = receive ] && options+=(-entropic_scale_per_exec_time=1)
  ASAN_OPTIONS="$fast_asan" "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "${options[@]}" \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "$here/tests/fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -aE '^#[0-9]+' "$log" | grep -o 'cov: [0-9]*' | tail -1 | cut -d' ' -f2)
  ft=$(grep -aE '^#[0-9]+' "$log" | grep -o 'ft: [0-9]*' | tail -1 | cut -d' ' -f2)
  corp=$(grep -aE '^#[0-9]+' "$log" | grep -o 'corp: [0-9]*' | tail -1 | cut -d' ' -f2)
  printf "%-9s %10s executions  coverage %5s edges  %6s features  corpus %s\n" \
    "$t" "${runs:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}"
  total=$((total + ${runs:-0}))
  if [ $rc -ne 0 ]; then
    failed=1
    echo "---- $t FAILED (exit $rc); log: $log"
    grep -aE 'invariant broken|ERROR:|SUMMARY:|runtime error' "$log" | head -5
    for a in "$artifacts"/*; do
      [ -e "$a" ] || continue
      echo "reproducer: $a"
      echo "reproduce:  $bin $a"
      echo "---- report with allocation stacks:"
      "$bin" "$a" 2>&1 | grep -avE '^INFO|Running 1 inputs|^Executed|^NOTE|rudimentary signal' | head -40
    done
  fi
done
printf "== fuzzing: %s executions in all\n" "$total"
exit $failed
