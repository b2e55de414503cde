#!/usr/bin/env bash
# Builds the Debian package dravik_<version>_<arch>.deb in build-deb/: a Release build with the
# Debian games layout (/usr/games/dravik, /usr/share/games/dravik), packed by CPack with its
# library dependencies computed by dpkg-shlibdeps and its files stripped. Also makes the
# screenshot that the AppStream metainfo names (build-deb/screenshots/flight.png).
# Usage: bash scripts/package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-deb}
bash scripts/install-deps.sh
# dpkg-shlibdeps and file (which CPack uses to find the programs) for the dependencies.
bash scripts/apt-install.sh dpkg-dev file
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DDRAVIK_BENCH=OFF \
  -DDRAVIK_GAMES_LAYOUT=ON -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build" -j2 --target dravik dravik_media
(cd "$build" && cpack -G DEB)
# The screenshot for the software centres: a recorded flight replayed by the headless runner.
if SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy DRAVIK_NO_DIALOGS=1 \
  cmake --build "$build" -j2 --target dravik_screenshot >"$build/screenshot.log" 2>&1; then
  echo "screenshot: $build/screenshots/flight.png"
else
  echo "package.sh: the screenshot could not be made (see $build/screenshot.log)" >&2
fi
ls -l "$build"/dravik_*.deb
