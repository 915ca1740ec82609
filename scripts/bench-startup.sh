#!/usr/bin/env bash
# Start-up benchmark (not a test): time from process start until the main
# window is shown with every window created, and peak resident memory, over
# a few runs of `corvane --virtual-mirage --screenshots`.
#   scripts/bench-startup.sh [path to corvane] [runs]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bin="${1:-$here/build-release/app/corvane}"
runs="${2:-5}"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM=offscreen
python3 - "$bin" "$runs" "$out" <<'PY'
import re, resource, subprocess, sys, time
binary, runs, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
shown, totals, peaks = [], [], []
for i in range(runs):
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    t0 = time.monotonic()
    p = subprocess.Popen([binary, "--virtual-mirage", "--screenshots", f"{out}/{i}"],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    first = None
    for line in p.stdout:
        if first is None and "main window shown" in line:
            first = (time.monotonic() - t0) * 1000
    p.wait()
    totals.append((time.monotonic() - t0) * 1000)
    shown.append(first)
    peaks.append(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
med = lambda v: sorted(v)[len(v) // 2]
print(f"runs: {runs}")
print(f"process start to main window shown, all windows created: median {med(shown):.0f} ms "
      f"(min {min(shown):.0f}, max {max(shown):.0f})")
print(f"whole screenshot run: median {med(totals):.0f} ms")
print(f"peak resident memory: {max(peaks) / 1024:.1f} MiB")
PY
