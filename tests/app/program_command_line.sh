#!/bin/sh
# The built program's command line: --help and --version answer on stdout and exit with 0
# without opening a window (no display is given to it); a command line it does not understand
# gets a message on stderr and exit code 2, and no window either. Then a recording named on the
# command line, with the program started from an empty folder: it finds the media beside it and
# loads the recording.
set -u
program=${1:?usage: program_command_line.sh PROGRAM SOURCE_DIR}
source_dir=${2:?usage: program_command_line.sh PROGRAM SOURCE_DIR}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/dravik-cli-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "program_command_line: $*" >&2
    exit 1
}
# With no display and X11 asked for, opening a window would fail with a message on stderr.
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 DRAVIK_NO_DIALOGS=1 \
        timeout 20 "$program" "$@" >"$scratch/out" 2>"$scratch/err"
}

for option in --help -h; do
    run "$option"
    code=$?
    [ "$code" -eq 0 ] || fail "$option: exit code $code"
    head -n1 "$scratch/out" | grep -qx 'Usage: dravik \[OPTION\]... \[RECORDING.dvk\]' ||
        fail "$option: $(head -n1 "$scratch/out")"
    grep -q -- '--version' "$scratch/out" || fail "$option does not list --version"
    [ ! -s "$scratch/err" ] || fail "$option wrote to stderr: $(cat "$scratch/err")"
done

for option in --version -V; do
    run "$option"
    code=$?
    [ "$code" -eq 0 ] || fail "$option: exit code $code"
    grep -Eqx 'dravik [0-9]+\.[0-9]+\.[0-9]+' "$scratch/out" || fail "$option: $(cat "$scratch/out")"
    [ ! -s "$scratch/err" ] || fail "$option wrote to stderr: $(cat "$scratch/err")"
done

run --fly-upside-down
code=$?
[ "$code" -eq 2 ] || fail "an unknown option: exit code $code"
grep -q "unknown option '--fly-upside-down'" "$scratch/err" || fail "unknown option: $(cat "$scratch/err")"
grep -q -- "--help" "$scratch/err" || fail "the message does not point to --help"
[ ! -s "$scratch/out" ] || fail "an unknown option wrote to stdout"

run one.dvk two.dvk
code=$?
[ "$code" -eq 2 ] || fail "two recordings: exit code $code"
grep -q "only one recording" "$scratch/err" || fail "two recordings: $(cat "$scratch/err")"

# The threads of process $1 that llvmpipe names as its own.
rasterizer_threads() {
    cat /proc/"$1"/task/*/comm 2>/dev/null | grep -c '^llvmpipe-'
}

# A recording, a relative path from the folder the game starts in; the game runs four seconds
# (SDL's offscreen driver) and is ended as the desktop would end it.
mkdir "$scratch/empty"
cp "$source_dir/tests/data/keyboard_flight.dvk" "$scratch/empty/flight.dvk"
(cd "$scratch/empty" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy DRAVIK_NO_DIALOGS=1 \
    exec "$program" flight.dvk) >"$scratch/game.log" 2>&1 &
pid=$!
sleep 4
kill -0 "$pid" 2>/dev/null || { cat "$scratch/game.log" >&2; fail "the game ended by itself"; }
# On the software renderer the game is in classic mode and draws on its own thread: llvmpipe
# starts no threads of its own.
[ "$(rasterizer_threads "$pid")" -eq 0 ] || fail "classic mode: llvmpipe threads are running"
kill -TERM "$pid"
wait "$pid"
code=$?
[ "$code" -eq 0 ] || fail "exit code $code after SIGTERM"
# Media that could not be read, or a recording that could not be loaded, are said on stderr.
grep -q 'に失敗しました' "$scratch/game.log" && { cat "$scratch/game.log" >&2; fail "a load failed"; }
[ "$(ls -A "$scratch/empty")" = "flight.dvk" ] || fail "the game wrote into the folder it started in"

# A recording that is not there: the load failure's message.
(cd "$scratch/empty" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy DRAVIK_NO_DIALOGS=1 \
    exec "$program" missing.dvk) >"$scratch/game.log" 2>&1 &
pid=$!
sleep 4
kill -TERM "$pid" 2>/dev/null
wait "$pid"
grep -q '記録ファイルの読み込みに失敗しました' "$scratch/game.log" ||
    { cat "$scratch/game.log" >&2; fail "no message for a recording that cannot be loaded"; }
# Smooth mode keeps llvmpipe's threads, and a thread count the environment gives is kept.
for case in "--smooth:more" "--classic LP_NUM_THREADS=1:1"; do
    args=${case%%:*} want=${case##*:}
    set -- $args
    mode=$1
    shift
    (cd "$scratch/empty" && exec env "$@" XDG_CONFIG_HOME="$scratch/config" \
        SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy DRAVIK_NO_DIALOGS=1 \
        "$program" "$mode" flight.dvk) >"$scratch/game.log" 2>&1 &
    pid=$!
    sleep 4
    threads=$(rasterizer_threads "$pid")
    kill -TERM "$pid" 2>/dev/null
    wait "$pid"
    if [ "$want" = more ]; then
        [ "$threads" -gt 0 ] || fail "$args: no llvmpipe threads"
    else
        [ "$threads" -eq "$want" ] || fail "$args: $threads llvmpipe threads, $want wanted"
    fi
done

echo "program_command_line: --help, --version and a bad command line answer without a window;"
echo "program_command_line: a named recording is loaded from any folder, a missing one is said;"
echo "program_command_line: classic mode draws without llvmpipe threads, smooth mode with them"
