#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test the game.
# Non-interactive and safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev libepoxy-dev
  libassimp-dev libfluidsynth-dev libstb-dev libfontconfig-dev
  timgm6mb-soundfont fluidsynth
  fonts-dejavu-core fonts-ipafont-gothic zenity libglib2.0-dev dbus-daemon
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils libgl1-mesa-dri libegl1 libegl-mesa0 mesa-utils
  sox clang clang-format libclang-rt-14-dev imagemagick
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
