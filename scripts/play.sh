#!/usr/bin/env bash
# Installs what building and playing need, builds the game and starts it (arguments go to it).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2 --target dravik dravik_media
exec build/dravik "$@"
