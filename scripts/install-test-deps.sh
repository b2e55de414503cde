#!/usr/bin/env bash
# Installs what building and playing need (install-deps.sh), then the tools of the tests, the
# benchmarks, the sanitizer and fuzzing builds, the format check and the Debian package:
# GoogleTest and Google Benchmark, Xvfb and xdotool, clang, sox, ImageMagick, the FluidSynth
# player, the AppStream, desktop-entry, MIME and manual-page tools, rsvg-convert, and dpkg-dev
# with file for the package's library dependencies, and the Doom source ports (with Freedoom)
# that the frame benchmarks measure against.
set -euo pipefail
cd "$(dirname "$0")"

bash install-deps.sh
packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils libegl1 libegl-mesa0 mesa-utils
  sox clang clang-format libclang-rt-14-dev imagemagick fluidsynth dbus-daemon
  appstream desktop-file-utils shared-mime-info man-db librsvg2-bin dpkg-dev file
  crispy-doom chocolate-doom freedoom
)
bash apt-install.sh "${packages[@]}"
