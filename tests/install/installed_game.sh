#!/bin/sh
# Installs the build into a scratch prefix and checks what the desktop sees of it: the program,
# its data, the AppStream metainfo, the desktop entry, the recording MIME type, the nine icons
# and the manual page. Then starts the installed game from an unrelated folder, plain and with a
# recording as the file manager would, and ends it as the desktop would (SIGTERM): it must find
# its media, keep running, and exit with 0.
set -u
build=${1:?usage: installed_game.sh BUILD_DIR [SOURCE_DIR]}
source_dir=${2:-$(dirname "$0")/../..}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/dravik-install-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# A space in the prefix, as a home folder may have one.
prefix="$scratch/pre fix"
app_id=io.github.dravik.dravik
fail() {
    echo "installed_game: $*" >&2
    exit 1
}
need() {
    command -v "$1" >/dev/null || fail "needs $1 (bash scripts/install-test-deps.sh)"
}
need appstreamcli
need desktop-file-validate
need update-mime-database
need update-desktop-database
need man

cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
    { cat "$scratch/install.log" >&2; fail "cmake --install failed"; }

for file in bin/dravik share/dravik/media/BG.dds share/dravik/media/myplane.x \
    share/dravik/media/planeskin.dds share/dravik/media/evening.mid share/dravik/media/crush.wav \
    share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
    share/mime/packages/dravik.xml share/man/man6/dravik.6.gz; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done
[ -x "$prefix/bin/dravik" ] || fail "bin/dravik cannot be run"

# The installed program answers without a display.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/dravik" --version) ||
    fail "dravik --version failed"
echo "$version" | grep -Eq '^dravik [0-9]+\.[0-9]+\.[0-9]+$' || fail "dravik --version: $version"

# AppStream: valid, and about this program.
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$app_id.metainfo.xml" \
    >"$scratch/appstream.log" 2>&1 || { cat "$scratch/appstream.log" >&2; fail "metainfo"; }
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
    "$prefix/share/metainfo/$app_id.metainfo.xml" || fail "metainfo launchable"
# The tree as a whole: the metainfo's launchable is the installed desktop entry.
appstreamcli validate-tree --no-net --pedantic "$prefix" >"$scratch/appstream.log" 2>&1 ||
    { cat "$scratch/appstream.log" >&2; fail "appstreamcli validate-tree"; }

# The desktop entry: valid, runs the installed program by its full path (the menu need not have
# the prefix on its PATH) with the file the file manager gives it, for recordings.
desktop="$prefix/share/applications/$app_id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
exec_line=$(grep '^Exec=' "$desktop")
[ "$exec_line" = "Exec=\"$prefix/bin/dravik\" %f" ] || fail "desktop entry: $exec_line"
grep -qx 'MimeType=application/x-dravik-recording;' "$desktop" || fail "desktop entry MimeType"
grep -qx 'Icon=dravik' "$desktop" || fail "desktop entry Icon"
# The install brought the prefix's desktop database up to date: a double click on a recording
# in the file manager finds the game.
grep -qx "application/x-dravik-recording=$app_id.desktop;" \
    "$prefix/share/applications/mimeinfo.cache" || fail "mimeinfo.cache does not send *.dvk to the game"

# The MIME type: the database built from the installed package names *.dvk.
update-mime-database "$prefix/share/mime" >/dev/null 2>&1 || fail "update-mime-database"
grep -qx 'application/x-dravik-recording:\*\.dvk' "$prefix/share/mime/globs" ||
    fail "the MIME database does not know *.dvk"

# Nine icons: eight PNG sizes of the right dimensions and the scalable SVG.
png_size() { # width and height from the PNG header
    od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'
}
for size in 16 24 32 48 64 128 256 512; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/dravik.png"
    [ -f "$icon" ] || fail "no ${size}x${size} icon"
    [ "$(png_size "$icon")" = "${size}x${size}" ] || fail "$icon is $(png_size "$icon")"
done
svg="$prefix/share/icons/hicolor/scalable/apps/dravik.svg"
grep -q '<svg ' "$svg" || fail "no scalable icon"
if command -v rsvg-convert >/dev/null; then
    rsvg-convert -w 64 -h 64 "$svg" -o "$scratch/svg64.png" || fail "the SVG icon does not render"
fi

# The manual page renders without a warning.
MANWIDTH=80 man --warnings -l "$prefix/share/man/man6/dravik.6.gz" >"$scratch/man.txt" 2>"$scratch/man.err" ||
    fail "man -l failed"
[ ! -s "$scratch/man.err" ] || { cat "$scratch/man.err" >&2; fail "the manual page has warnings"; }
for section in SYNOPSIS OPTIONS KEYS FILES ENVIRONMENT "EXIT STATUS"; do
    grep -q "^$section" "$scratch/man.txt" || fail "the manual page has no $section"
done

# Starts the installed game in the folder "elsewhere" with the given arguments, lets it run four
# seconds, ends it with SIGTERM; its output goes to $scratch/out.log.
mkdir -p "$scratch/elsewhere" "$scratch/links"
ln -s "$prefix/bin/dravik" "$scratch/links/dravik"
run_game() {
    (cd "$scratch/elsewhere" && exec "$@") >"$scratch/out.log" 2>&1 &
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
        # Media the game could not read are reported on stderr.
        grep -q 'ファイルの読み込みに失敗しました' "$scratch/out.log" &&
            { cat "$scratch/out.log" >&2; fail "the game did not find its media"; }
    fi
    [ "$code" -eq 0 ] || fail "exit code $code after SIGTERM"
    [ -z "$(ls -A "$scratch/elsewhere")" ] || fail "the game wrote into the folder it was started from"
}
# Through a symbolic link as a PATH entry might hold it, with nothing of the prefix on PATH.
run_game env PATH=/usr/bin:/bin "$scratch/links/dravik"
# As the file manager does on a double click: the desktop entry's program with a recording.
cp "$source_dir/tests/data/keyboard_flight.dvk" "$scratch/flight.dvk"
run_game "$prefix/bin/dravik" "$scratch/flight.dvk"
grep -q '記録ファイルの読み込みに失敗しました' "$scratch/out.log" && fail "the recording did not load"
echo "installed_game: metainfo, desktop entry, MIME type, nine icons and manual page are right;"
echo "installed_game: the installed game starts from another folder, also with a recording"
