#!/usr/bin/env bash
# A player's session with the real game under Xvfb, driven by xdotool: the status lines, the
# keyboard chosen, a flight, pause, a save and a load through the real zenity dialogs, the replay,
# Esc; then a start with each media file missing in turn.
#
# Usage: player_session.sh BUILD_DIR [SCREENSHOT_DIR]
set -u
build=$(cd "$1" && pwd)
shots=${2:-}
if [ -z "${XVFB_RUNNING:-}" ]; then
    export XVFB_RUNNING=1
    # -noreset: by default Xvfb resets when its last client leaves, and a game started in
    # that moment finds no display (each part below ends every client before the next starts).
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0" "$@"
fi
unset SDL_VIDEODRIVER DRAVIK_NO_DIALOGS
export SDL_AUDIODRIVER=dummy
# No session bus, so no file chooser portal: the dialogs are zenity's. Recordings go to a
# scratch data folder.
unset DBUS_SESSION_BUS_ADDRESS

# ImageMagick's own tools, not a stand-in that may come first on the PATH.
convert() { /usr/bin/convert "$@"; }
compare() { /usr/bin/compare "$@"; }
import() { /usr/bin/import "$@"; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR"
recordings="$XDG_DATA_HOME/dravik/recordings"

shot() {  # shot NAME: the screen as a PNG in the work folder (and in SCREENSHOT_DIR if given)
    import -window root "$work/$1.png" 2>/dev/null
    [ -n "$shots" ] && cp "$work/$1.png" "$shots/$1.png"
}
pixel() {  # pixel NAME X Y: the colour there as r,g,b
    convert "$work/$1.png" -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' \
        -crop "1x1+$2+$3" info: 2>/dev/null
}
wait_window() {  # wait_window NAME [TENTHS]: prints the window id once it exists
    for _ in $(seq 1 "${2:-100}"); do
        id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        sleep 0.1
    done
    return 1
}
same_picture() { [ "$(compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1)" = "0" ]; }

cd "$build"
# DRAVIK_SESSION_ARGS: options for the session's game (the picture's pace, say).
# shellcheck disable=SC2086
./dravik ${DRAVIK_SESSION_ARGS:-} > "$work/game.log" 2>&1 &
game=$!
win=$(wait_window Dravik) || { fail "the window Dravik did not open"; kill $game; exit 1; }
pass "window Dravik opened"
sleep 1
shot status
geometry=$(xwininfo -id "$win" | awk '/Absolute upper-left X/{x=$4}/Absolute upper-left Y/{y=$4}/Width/{w=$2}/Height/{h=$2}END{print x,y,w,h}')
read -r wx wy ww wh <<< "$geometry"
[ "$ww" = 640 ] && [ "$wh" = 480 ] && pass "client area 640x480" || fail "client area ${ww}x${wh}"
[ "$(pixel status $((wx + 10)) $((wy + 10)))" = "0,0,255" ] && pass "status screen is blue" \
    || fail "status screen colour $(pixel status $((wx + 10)) $((wy + 10)))"

xdotool key --window "$win" Up
sleep 6
shot flight1
[ "$(pixel flight1 $((wx + 10)) $((wy + 10)))" != "0,0,255" ] && pass "the flight is drawn" \
    || fail "still the status screen after Up"
xdotool keydown --window "$win" Up; sleep 2; xdotool keyup --window "$win" Up
xdotool keydown --window "$win" Left; sleep 1; xdotool keyup --window "$win" Left
sleep 3
shot flight2
same_picture flight1 flight2 && fail "the picture does not move" || pass "the picture moves"

xdotool key --window "$win" F1
sleep 1
shot paused1
sleep 1
shot paused2
same_picture paused1 paused2 && pass "F1 pauses" || fail "the picture changes while paused"

# The first save: the dialog opens in the recordings folder with a name from the date and time;
# Return takes it. Meanwhile the dialog is moved off the game, which must show the paused picture
# where the dialog was.
xdotool key --window "$win" F6
dialog=$(wait_window "Save Dravik File") && pass "F6 opens the save dialog" || fail "no save dialog"
if [ -n "${dialog:-}" ]; then
    sleep 1.5
    shot save_proposed
    xdotool windowmove --sync "$dialog" 700 500
    sleep 1
    shot dialog_moved
    # Where the dialog was, the game is drawn again: neither the dialog's remains nor black.
    cx=$((wx + 320)); cy=$((wy + 240))
    under=$(pixel dialog_moved $cx $cy)
    if [ "$under" != "$(pixel save_proposed $cx $cy)" ] && [ "$under" != "0,0,0" ]; then
        pass "the game window is repainted while the dialog is open"
    else
        fail "under the moved dialog: $under, with the dialog there: $(pixel save_proposed $cx $cy)"
    fi
    xdotool windowfocus --sync "$dialog"
    xdotool key Return
    sleep 1.5
fi
proposed=$(ls "$recordings"/flight-????-??-??-????.dvk 2>/dev/null | head -1)
[ -n "$proposed" ] && [ "$(stat -c %s "$proposed")" = 120004 ] \
    && pass "saved $(basename "$proposed") in the recordings folder" \
    || fail "nothing saved in $recordings: $(ls -la "$recordings" 2>&1)"
[ "$(stat -c %a "$recordings")" = 700 ] && pass "the recordings folder was made for the player alone" \
    || fail "recordings folder mode $(stat -c %a "$recordings" 2>&1)"

recording="$work/flight.dvk"
xdotool key --window "$win" F6
dialog=$(wait_window "Save Dravik File") && pass "F6 opens the save dialog again" || fail "no save dialog"
if [ -n "${dialog:-}" ]; then
    sleep 1.5
    xdotool windowfocus --sync "$dialog"
    xdotool key ctrl+a
    xdotool type --delay 30 "$work/flight"
    shot save_dialog
    sleep 0.5
    xdotool key Return
    sleep 1.5
fi
[ -f "$recording" ] && [ "$(stat -c %s "$recording")" = 120004 ] \
    && pass "saved flight.dvk (120004 bytes; the extension added)" || fail "no recording saved"

xdotool key --window "$win" F5
dialog=$(wait_window "Load Dravik File") && pass "F5 opens the load dialog" || fail "no load dialog"
if [ -n "${dialog:-}" ]; then
    sleep 1.5
    xdotool windowfocus --sync "$dialog"
    xdotool key ctrl+l
    xdotool type --delay 30 "$recording"
    shot load_dialog
    sleep 0.5
    xdotool key Return
    sleep 7
fi
shot replay1
sleep 1
shot replay2
same_picture replay1 replay2 && fail "the replay does not move" || pass "the replay runs"

xdotool key --window "$win" Escape
wait $game
code=$?
[ $code = 0 ] && pass "Esc ends the game with exit code 0" || fail "exit code $code after Esc"

# The rest starts the game without the session's options: a session with options ends here.
if [ -n "${DRAVIK_SESSION_ARGS:-}" ]; then
    echo "$failures failed"
    [ $failures = 0 ]
    exit
fi

# Each media file missing in turn: its message, exit code 0. The first one shows the real
# message box, the others only write it to stderr.
declare -A messages=(
    [BG.dds]="背景画の読み込みに失敗しました"
    [myplane.x]="Ｘファイルの読み込みに失敗しました"
    [digit.dds]="数字画像の読み込みに失敗しました"
    [arrow.dds]="矢印画の読み込みに失敗しました"
    [star.dds]="スパーク画の読み込みに失敗しました"
    [evening.mid]="ＢＧＭファイル１の読み込みに失敗しました"
    [velmo.mid]="ＢＧＭファイル２の読み込みに失敗しました"
    [crush.wav]="サウンドファイル１の読み込みに失敗しました"
    [sound136.wav]="サウンドファイル２の読み込みに失敗しました"
    [alert.wav]="サウンドファイル３の読み込みに失敗しました"
)
first=1
for file in BG.dds myplane.x digit.dds arrow.dds star.dds evening.mid velmo.mid crush.wav sound136.wav alert.wav; do
    rm -rf "$work/missing" && mkdir -p "$work/missing/media"
    cp "$build"/media/* "$work/missing/media/" && rm "$work/missing/media/$file"
    if [ $first = 1 ]; then
        (cd "$work/missing" && "$build/dravik" > "$work/missing.log" 2>&1) &
        pid=$!
        sleep 3
        shot message_box
        # The box is the zenity window titled Dravik; OK closes it and the game ends.
        for id in $(xdotool search --name '^Dravik$' 2>/dev/null); do
            xdotool windowfocus --sync "$id" 2>/dev/null && xdotool key Return
        done
        for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
        kill -0 $pid 2>/dev/null && { pkill -f "zenity --info" ; sleep 1; }
        wait $pid
        code=$?
        first=0
    else
        (cd "$work/missing" && DRAVIK_NO_DIALOGS=1 "$build/dravik" > "$work/missing.log" 2>&1)
        code=$?
    fi
    if [ $code = 0 ] && grep -q "${messages[$file]}" "$work/missing.log" \
        && grep -q "^cannot read .*media/$file: No such file or directory" "$work/missing.log"; then
        pass "$file missing: its message with the file and the reason, and exit code 0"
    else
        fail "$file missing: exit code $code, output: $(head -c 300 "$work/missing.log")"
    fi
done

# SIGTERM while a dialog is open ends the dialog and the game.
./dravik > "$work/term.log" 2>&1 &
game=$!
win=$(wait_window Dravik 300) || fail "the window Dravik did not open again (its output: \
$(head -c 400 "$work/term.log"))"
sleep 2
xdotool key --window "$win" Up
sleep 1
xdotool key --window "$win" F6
if dialog=$(wait_window "Save Dravik File" 300); then
    kill -TERM $game
    for _ in $(seq 1 30); do kill -0 $game 2>/dev/null || break; sleep 0.1; done
    if kill -0 $game 2>/dev/null; then
        fail "SIGTERM with the save dialog open: the game still runs"
        kill -KILL $game
    else
        pass "SIGTERM with the save dialog open ends the game"
    fi
    sleep 0.5
    xdotool search --name "^Save Dravik File\$" >/dev/null 2>&1 \
        && fail "the save dialog outlived the game" || pass "and the dialog with it"
else
    fail "no save dialog for the SIGTERM check"
fi
wait $game 2>/dev/null

# No file chooser installed, nor any message box program: F6 says so in the game window itself,
# until Enter.
mkdir -p "$work/emptybin"
PATH="$work/emptybin" ./dravik > "$work/nochooser.log" 2>&1 &
game=$!
if ! win=$(wait_window Dravik 300); then
    fail "the window Dravik did not open without zenity (game \
$(kill -0 $game 2>/dev/null && echo running || echo ended); its output: \
$(head -c 400 "$work/nochooser.log"))"
    kill -KILL $game 2>/dev/null
else
    sleep 2
    xdotool key --window "$win" Up
    sleep 1
    xdotool key --window "$win" F6
    sleep 2
    shot no_chooser
    grep -q "No file dialog can be shown" "$work/nochooser.log" \
        && pass "without zenity or kdialog F6 says what to install on stderr" \
        || fail "no word without a chooser"
    [ "$(pixel no_chooser $((wx + 600)) $((wy + 400)))" = "0,0,255" ] \
        && pass "and in the game window" || fail "no message in the window"
    xdotool key --window "$win" Return
    sleep 1
    shot after_message
    [ "$(pixel after_message $((wx + 600)) $((wy + 400)))" != "0,0,255" ] \
        && pass "Enter returns to the game" || fail "the message stays after Enter"
    xdotool key --window "$win" Escape
    for _ in $(seq 1 30); do kill -0 $game 2>/dev/null || break; sleep 0.1; done
    kill -0 $game 2>/dev/null && { fail "the game did not end after the message"; kill -KILL $game; }
fi
wait $game 2>/dev/null

echo "$failures failed"
[ $failures = 0 ]
