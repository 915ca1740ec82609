#!/usr/bin/env bash
# Start-up benchmark (not a test). Runs, in turn and as whole processes,
#  - bench_bare_window: a bare Qt Widgets program with a main window of
#    Corvane's size, six menus, a label and a status bar, and
#  - corvane --virtual-mirage,
# each until its main window has been drawn once and it has left its event
# loop (--quit-after-first-paint), and prints the medians of both and their
# ratio for wall time and peak resident memory. Then it times the whole
# `--screenshots` run, which opens every window.
#   scripts/bench-startup.sh [build dir] [runs]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-release}"
runs="${2:-15}"
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT
# A settings directory of its own, so no user's settings or ports take part.
export XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
python3 - "$build" "$runs" "$config" <<'PY'
import os, statistics, subprocess, sys, time
build, runs, scratch = sys.argv[1], int(sys.argv[2]), sys.argv[3]
bare = [f"{build}/tests/app/bench_bare_window"]
corvane = [f"{build}/app/corvane", "--virtual-mirage", "--quit-after-first-paint"]
shots = lambda i: [f"{build}/app/corvane", "--virtual-mirage", "--screenshots", f"{scratch}/shots{i}"]

def run(cmd):
    t0 = time.monotonic()
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    ms = (time.monotonic() - t0) * 1000
    if status != 0:
        sys.exit(f"bench-startup: {' '.join(cmd)} ended with status {status}")
    return ms, usage.ru_maxrss / 1024  # ru_maxrss is in KiB on Linux

run(bare); run(corvane)  # warm the file cache
pairs = [(run(bare), run(corvane)) for _ in range(runs)]
med = lambda v: statistics.median(v)
bt, bm = med([b[0] for b, _ in pairs]), med([b[1] for b, _ in pairs])
ct, cm = med([c[0] for _, c in pairs]), med([c[1] for _, c in pairs])
ratio_t = med([c[0] / b[0] for b, c in pairs])
print(f"paired runs: {runs}")
print(f"bare Qt window:           time median {bt:6.0f} ms   peak memory median {bm:5.1f} MiB")
print(f"corvane --virtual-mirage: time median {ct:6.0f} ms   peak memory median {cm:5.1f} MiB")
print(f"ratio (paired medians):   time {ratio_t:.2f}x   memory {cm / bm:.2f}x")
whole = [run(shots(i))[0] for i in range(max(3, runs // 3))]
print(f"whole --screenshots run:  time median {med(whole):6.0f} ms")
PY
