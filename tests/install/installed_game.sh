#!/bin/sh
# Installs the build into a scratch prefix, checks the XDG layout, then starts the installed game
# from an unrelated folder and ends it as the desktop would (SIGTERM): it must find its media,
# keep running, and exit with 0.
set -u
build=${1:?usage: installed_game.sh BUILD_DIR}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/dravik-install-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
fail() {
    echo "installed_game: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
    { cat "$scratch/install.log" >&2; fail "cmake --install failed"; }

for file in bin/dravik libexec/dravik/dravik share/applications/dravik.desktop \
    share/icons/hicolor/64x64/apps/dravik.png share/dravik/media/BG.dds \
    share/dravik/media/myplane.x share/dravik/media/evening.mid share/dravik/media/crush.wav; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done
[ -x "$prefix/bin/dravik" ] || fail "bin/dravik cannot be run"
grep -q '^Exec=dravik$' "$prefix/share/applications/dravik.desktop" || fail "desktop entry"

# From another folder, and through a symbolic link as a PATH entry might hold it.
mkdir -p "$scratch/elsewhere" "$scratch/links"
ln -s "$prefix/bin/dravik" "$scratch/links/dravik"
cd "$scratch/elsewhere" || fail "no scratch folder"
"$scratch/links/dravik" >"$scratch/out.log" 2>&1 &
pid=$!
sleep 4
if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"
    code=$?
    cat "$scratch/out.log" >&2
    fail "the game ended by itself (exit code $code): it did not start"
fi
kill -TERM "$pid"
wait "$pid"
code=$?
if [ -s "$scratch/out.log" ]; then
    cat "$scratch/out.log" >&2
    # Media the game could not read are reported on stderr.
    grep -q 'に失敗しました' "$scratch/out.log" && fail "the game did not find its media"
fi
[ "$code" -eq 0 ] || fail "exit code $code after SIGTERM"
[ -z "$(ls -A "$scratch/elsewhere")" ] || fail "the game wrote into the folder it was started from"
echo "installed_game: the installed game starts from another folder and exits with 0"
