#!/usr/bin/env bash
# Builds the benchmark programs in build-bench (Release), runs them, measures the windowed game
# flying under Xvfb, and prints one table: measure, value, target, pass/fail.
#
# Usage: bash scripts/bench.sh [--no-build | --table]
# --no-build runs what is built; --table prints the table of the last run again. The results
# (benchmark JSON, the step log, the table) stay in build-bench/bench-results/.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench
results=$build/bench-results
flight_seconds=${DRAVIK_BENCH_FLIGHT_SECONDS:-60}
pause_seconds=${DRAVIK_BENCH_PAUSE_SECONDS:-20}

# ---- The windowed game, run inside xvfb-run: writes $results/windowed.env ----
if [ "${1:-}" = "--windowed" ]; then
    cd "$build"
    export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
    unset SDL_VIDEODRIVER DRAVIK_NO_DIALOGS
    rm -f "$results/steps.log"
    DRAVIK_STEP_LOG="$results/steps.log" ./dravik > "$results/windowed-game.log" 2>&1 &
    pid=$!
    cpu_ticks() {  # utime + stime of the game, in clock ticks
        awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$pid/stat"
    }
    now() { date +%s.%N; }
    win=""
    for _ in $(seq 1 100); do
        win=$(xdotool search --name '^Dravik$' 2>/dev/null | head -1)
        [ -n "$win" ] && break
        sleep 0.1
    done
    if [ -z "$win" ]; then
        echo "windowed_error='the window Dravik did not open'" > "$results/windowed.env"
        kill "$pid" 2>/dev/null
        exit 1
    fi
    sleep 1
    # Focused, so that the keys below go to it as real (XTEST) key events.
    xdotool windowfocus --sync "$win" 2>/dev/null
    xdotool key Up  # the keyboard
    sleep 6                          # the intro (150 steps)

    # The flight: speed up, then alternate turns, holding the keys as a player does.
    c0=$(cpu_ticks); t0=$(now)
    xdotool keydown Up; sleep 1.5; xdotool keyup Up
    end=$(( $(date +%s) + flight_seconds ))
    turn=Left
    while [ "$(date +%s)" -lt "$end" ]; do
        xdotool keydown "$turn"; sleep 1.2; xdotool keyup "$turn"
        sleep 2
        [ "$turn" = Left ] && turn=Right || turn=Left
    done
    c1=$(cpu_ticks); t1=$(now)

    xdotool key F1  # pause
    sleep 1
    c2=$(cpu_ticks); t2=$(now)
    sleep "$pause_seconds"
    c3=$(cpu_ticks); t3=$(now)
    xdotool key F1
    sleep 0.5
    xdotool key Escape
    wait "$pid"
    code=$?
    {
        echo "clock_ticks=$(getconf CLK_TCK)"
        echo "flight_cpu_ticks=$((c1 - c0)) flight_wall=$(awk "BEGIN { print $t1 - $t0 }")"
        echo "pause_cpu_ticks=$((c3 - c2)) pause_wall=$(awk "BEGIN { print $t3 - $t2 }")"
        echo "windowed_exit=$code"
    } > "$results/windowed.env"
    exit 0
fi

cd "$root"
mkdir -p "$results"
load_start=$(cut -d' ' -f1-3 /proc/loadavg)

if [ "${1:-}" != "--no-build" ] && [ "${1:-}" != "--table" ]; then
    bash scripts/install-test-deps.sh || exit 1
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DDRAVIK_BENCH=ON -DBUILD_TESTING=OFF \
        > "$results/configure.log" 2>&1 || { cat "$results/configure.log"; exit 1; }
    cmake --build "$build" -j2 --target dravik dravik_media dravik_bench \
        > "$results/build.log" 2>&1 || { tail -40 "$results/build.log"; exit 1; }
fi

cd "$build"
run() {  # run NAME [ARGS]: one benchmark program, its JSON in $results/NAME$BENCH_SUFFIX.json
    local name=$1; shift
    echo "running $name $*" >&2
    "./bench/$name" --benchmark_out="$results/$name$BENCH_SUFFIX.json" \
        --benchmark_out_format=json "$@" > "$results/$name$BENCH_SUFFIX.txt" 2>&1 \
        || echo "$name failed (see $results/$name$BENCH_SUFFIX.txt)" >&2
}
if [ "${1:-}" != "--table" ]; then
    BENCH_SUFFIX="" run bench_frame_step
    BENCH_SUFFIX="" run bench_gl_frame
    BENCH_SUFFIX="" run bench_audio
    # Start-up from process start: five fresh processes.
    for i in 1 2 3 4 5; do BENCH_SUFFIX=".$i" run bench_startup; done

    echo "running the windowed game under Xvfb (~$((flight_seconds + pause_seconds + 12)) s)" >&2
    rm -f "$results/windowed.env"
    xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$root/scripts/bench.sh" --windowed
    load_end=$(cut -d' ' -f1-3 /proc/loadavg)
    printf '%s\n%s\n' "$load_start" "$load_end" > "$results/loadavg.txt"
fi
[ -f "$results/loadavg.txt" ] && { read -r load_start; read -r load_end; } < "$results/loadavg.txt"

LOAD_START=$load_start LOAD_END=$load_end RESULTS=$results python3 - <<'EOF' | tee "$results/table.txt"
import json, os, statistics

results = os.environ["RESULTS"]
rows = []

def bench(program, name):
    """The first run of the named benchmark in the program's JSON, or None."""
    try:
        with open(os.path.join(results, program + ".json")) as f:
            data = json.load(f)
    except (OSError, ValueError):
        return None
    for b in data.get("benchmarks", []):
        if b["name"].startswith(name) and not b.get("error_occurred"):
            return b
    return None

def row(measure, value, target, ok, fmt="{:.3g}"):
    if value is None:
        rows.append((measure, "missing", target, "FAIL"))
    else:
        text = fmt.format(value)
        rows.append((measure, text, target, "info" if ok is None else ("pass" if ok else "FAIL")))

def nearest_rank(values, p):
    if not values:
        return None
    v = sorted(values)
    k = max(1, -(-len(v) * p // 100))
    return v[min(int(k), len(v)) - 1]

# One thread and no waiting: its processor time is the step's cost even when other work shares
# the machine; the wall time is shown beside it.
b = bench("bench_frame_step", "BM_FlightStepNullDevice")
us = b["cpu_time"] if b else None
row("frame step, null device, flight, 250 cones (CPU us/step; wall %s; bumps accepted: %s of steps)"
    % (("%.3g" % b["real_time"], "%.0f%%" % (100 * b["bump_share"])) if b else ("?", "?")),
    us, "< 20", us is not None and us < 20)

b = bench("bench_frame_step", "BM_HeapAllocationsPerStep")
a = b["allocs_per_step"] if b else None
steps = int(b["intro_steps"] + b["flight_steps"] + b["paused_steps"] + b["result_steps"]) if b else 0
row("heap allocations per frame step after start-up (%d steps: intro, flight, pause, result)"
    % steps, a, "0", a == 0, "{:g}")

b = bench("bench_gl_frame", "BM_FlightFrameGl")
row("GL flight frame incl. present + glFinish, median (ms)", b and b["median_ms"], "< 4",
    b is not None and b["median_ms"] < 4)
row("GL flight frame incl. present + glFinish, p99 (ms)", b and b["p99_ms"], "< 4",
    b is not None and b["p99_ms"] < 4)
row("GL flight frame: main-thread allocations (llvmpipe's)", b and b["allocs_per_frame"],
    "-", None, "{:.0f}")
b = bench("bench_gl_frame", "BM_ResultScreen5000SparklesGl")
row("GL result screen, %s sparkles, median (ms)" % (int(b["sparkles"]) if b else "?"),
    b and b["median_ms"], "< 8", b is not None and b["median_ms"] < 8)
row("GL result screen, 5000 sparkles, p99 (ms)", b and b["p99_ms"], "< 8",
    b is not None and b["p99_ms"] < 8)

starts, again = [], []
for i in range(1, 6):
    b = bench("bench_startup.%d" % i, "BM_StartUpFirstInProcess")
    if b and b["from_process_start_s"] >= 0:
        starts.append(b["from_process_start_s"])
    b = bench("bench_startup.%d" % i, "BM_StartUpAgain")
    if b:
        again.append(b["median_s"])
s = statistics.median(starts) if starts else None
row("start-up to controller prompt from process start, median of %d (s)" % len(starts), s,
    "< 0.5", s is not None and s < 0.5)
row("start-up again in the same process, median (s)",
    statistics.median(again) if again else None, "-", None)

b = bench("bench_audio", "BM_AudioMixFlightTune")
row("audio mix, flight tune + sounds: CPU s per s of audio", b and b["cpu_s_per_audio_s"], "-",
    None, "{:.4f}")

env = {}
try:
    with open(os.path.join(results, "windowed.env")) as f:
        for line in f:
            for part in line.split():
                k, _, v = part.partition("=")
                env[k] = v
except OSError:
    pass
def share(kind):
    try:
        return 100.0 * int(env[kind + "_cpu_ticks"]) / int(env["clock_ticks"]) / float(env[kind + "_wall"])
    except (KeyError, ValueError, ZeroDivisionError):
        return None
f = share("flight")
row("windowed game under Xvfb, flying %ss: CPU (%% of one core)" % env.get("flight_wall", "?")[:4],
    f, "< 25", f is not None and f < 25, "{:.1f}")
p = share("pause")
row("windowed game under Xvfb, paused %ss: CPU (%% of one core)" % env.get("pause_wall", "?")[:4],
    p, "< 2", p is not None and p < 2, "{:.2f}")

ticks = []
try:
    with open(os.path.join(results, "steps.log")) as f:
        ticks = [int(line) for line in f if line.strip()]
except (OSError, ValueError):
    pass
gaps = [(b - a) & 0xFFFFFFFF for a, b in zip(ticks, ticks[1:])]
m = nearest_rank(gaps, 50)
row("windowed game: interval between steps, median (ms; %d intervals)" % len(gaps), m, "31",
    m == 31, "{:g}")
q = nearest_rank(gaps, 99)
row("windowed game: interval between steps, p99 (ms)", q, "<= 33", q is not None and q <= 33,
    "{:g}")

print("Dravik benchmarks: %d cores, load average %s at the start, %s at the end"
      % (os.cpu_count(), os.environ["LOAD_START"], os.environ["LOAD_END"]))
widths = [max(len(r[i]) for r in rows + [("measure", "value", "target", "result")]) for i in range(4)]
line = lambda r: "| " + " | ".join(c.ljust(w) for c, w in zip(r, widths)) + " |"
print(line(("measure", "value", "target", "result")))
print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
for r in rows:
    print(line(r))
EOF
