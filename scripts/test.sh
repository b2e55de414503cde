#!/usr/bin/env bash
# Installs what the game and its tests need, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-test-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
cd build
# GL tests render on llvmpipe through SDL's offscreen driver; no sound card is needed.
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy DRAVIK_NO_DIALOGS=1
ctest --output-on-failure --timeout 600 "$@"
