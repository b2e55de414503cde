#!/usr/bin/env bash
# Installs what the game needs, builds it and starts it from the build folder, where media/ lies.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2 --target dravik dravik_media
cd build
exec ./dravik
