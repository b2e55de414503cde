#!/usr/bin/env bash
# Installs a built package into a fresh Debian 12 root and starts the game there: apt-get must
# bring everything it needs, `dravik --version` must answer, and the game must start from
# /usr/games/dravik in an unrelated folder (SDL's offscreen driver, no sound card) and run until
# it is ended. Needs root and debootstrap; not part of CI (the root alone takes minutes).
# Usage: sudo bash scripts/check-package.sh DEB [ROOT]
#   ROOT: an existing fresh root to copy (kept as it is), else one is made with debootstrap.
#   NO_RECOMMENDS=1: install without the recommended packages, to show the dependencies suffice.
set -euo pipefail
deb=$(readlink -f "${1:?usage: check-package.sh DEB [ROOT]}")
pristine=${2:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/dravik-root-XXXXXX")
root=$work/root
mounted=0
cleanup() {
  if [ "$mounted" = 1 ]; then umount "$root/proc" || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

if [ -n "$pristine" ]; then
  cp -a "$pristine" "$root"
else
  start=$(date +%s)
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >"$work/debootstrap.log"
  echo "check-package: debootstrap took $(($(date +%s) - start)) s"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc" && mounted=1
cp "$deb" "$root/tmp/"
name=$(basename "$deb")

start=$(date +%s)
chroot "$root" apt-get update -q >"$work/update.log"
options=()
if [ "${NO_RECOMMENDS:-0}" = 1 ]; then options+=(--no-install-recommends); fi
chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${options[@]}" "/tmp/$name" \
  >"$work/install.log" ||
  { tail -30 "$work/install.log"; exit 1; }
echo "check-package: apt-get install took $(($(date +%s) - start)) s," \
  "$(grep -c '^Setting up' "$work/install.log") packages set up"

echo "check-package: installed: $(chroot "$root" dpkg-query -W -f='${Package} ${Version}, ${Installed-Size} KiB' dravik)"
# The package's triggers built the MIME database (and the desktop one, when desktop-file-utils
# came along): recordings are known, and sent to the game.
chroot "$root" grep -h 'x-dravik-recording' /usr/share/mime/globs2 \
  /usr/share/applications/mimeinfo.cache 2>/dev/null || true
echo "check-package: dravik --version in the fresh root:"
chroot "$root" /usr/games/dravik --version
chroot "$root" sh -c 'command -v dravik' || echo "check-package: (dravik is not on root's PATH: /usr/games is a user's)"

# The game from an unrelated folder, ended after five seconds as the desktop would end it.
mkdir -p "$root/tmp/elsewhere"
chroot "$root" sh -c 'cd /tmp/elsewhere && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
  DRAVIK_NO_DIALOGS=1 timeout -s TERM 5 /usr/games/dravik' >"$work/game.log" 2>&1 && code=0 || code=$?
cat "$work/game.log"
if grep -q 'に失敗しました' "$work/game.log"; then
  echo "check-package: the game did not find what it needs" >&2
  exit 1
fi
# timeout says 124 when it had to end the game: the game was running.
[ "$code" = 124 ] || { echo "check-package: the game ended by itself with $code" >&2; exit 1; }
echo "check-package: the game ran from /tmp/elsewhere until it was ended"
