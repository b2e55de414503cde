#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build the game and play it: the compiler and build
# tools, the libraries it links, and what it uses at run time (a General MIDI SoundFont, the
# fonts, zenity for the dialogs, the Mesa GL driver). The test tools are in install-test-deps.sh.
set -euo pipefail
cd "$(dirname "$0")"

packages=(
  build-essential cmake pkg-config git
  libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev libepoxy-dev
  zlib1g-dev libfluidsynth-dev libstb-dev libfontconfig-dev
  timgm6mb-soundfont fonts-dejavu-core fonts-ipafont-gothic zenity libgl1-mesa-dri
  libglib2.0-dev libx11-dev nlohmann-json3-dev
)
bash apt-install.sh "${packages[@]}"
