#!/usr/bin/env bash
# Configures and builds Corvane: scripts/build.sh <build dir> [cmake options...]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
cmake -S "$here" -B "$dir" -G Ninja "$@"
cmake --build "$dir" -j"$(nproc)"
