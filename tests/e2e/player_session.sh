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
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
unset SDL_VIDEODRIVER DRAVIK_NO_DIALOGS
export SDL_AUDIODRIVER=dummy

# ImageMagick's own tools, not a stand-in that may come first on the PATH.
convert() { /usr/bin/convert "$@"; }
compare() { /usr/bin/compare "$@"; }
import() { /usr/bin/import "$@"; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

shot() {  # shot NAME: the screen as a PNG in the work folder (and in SCREENSHOT_DIR if given)
    import -window root "$work/$1.png" 2>/dev/null
    [ -n "$shots" ] && cp "$work/$1.png" "$shots/$1.png"
}
pixel() {  # pixel NAME X Y: the colour there as r,g,b
    convert "$work/$1.png" -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' \
        -crop "1x1+$2+$3" info: 2>/dev/null
}
wait_window() {  # wait_window NAME: prints the window id once it exists
    for _ in $(seq 1 100); do
        id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        sleep 0.1
    done
    return 1
}
same_picture() { [ "$(compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1)" = "0" ]; }

cd "$build"
./dravik > "$work/game.log" 2>&1 &
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

recording="$work/flight.dvk"
xdotool key --window "$win" F6
dialog=$(wait_window "Save Dravik File") && pass "F6 opens the save dialog" || fail "no save dialog"
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
    if [ $code = 0 ] && grep -q "${messages[$file]}" "$work/missing.log"; then
        pass "$file missing: its message and exit code 0"
    else
        fail "$file missing: exit code $code, output: $(head -c 300 "$work/missing.log")"
    fi
done

echo "$failures failed"
[ $failures = 0 ]
