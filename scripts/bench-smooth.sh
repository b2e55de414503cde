#!/usr/bin/env bash
# Frames between steps against Crispy Doom and Chocolate Doom (Debian packages crispy-doom,
# chocolate-doom, freedoom), side by side under one Xvfb: see bench/smooth_bench.py.
# Usage: bash scripts/bench-smooth.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "${1:-$root/build}"
exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" python3 "$root/bench/smooth_bench.py"
