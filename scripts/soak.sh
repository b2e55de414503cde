#!/usr/bin/env bash
# Long-running memory soaks, run on demand: a full-length replay under the sanitizers, and a long
# windowed session of the game under Xvfb with keys held by xdotool. Each prints its VmRSS series.
# Usage: scripts/soak.sh [replay|window|all]   (default all)
# Environment: SOAK_MINUTES (window run, default 30), SOAK_BUILD (window run's build folder,
# default build), SOAK_ASAN_BUILD (default build-asan-soak), SOAK_LIMIT_KIB (allowed growth once
# warmed up, default 1024), SOAK_GL (also replay with the GL device, default 1).
# Exits non-zero when a run fails, a sanitizer reports anything, or memory keeps growing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

part=${1:-all}
minutes=${SOAK_MINUTES:-30}
build=${SOAK_BUILD:-build}
asan_build=${SOAK_ASAN_BUILD:-build-asan-soak}
limit_kib=${SOAK_LIMIT_KIB:-1024}
with_gl=${SOAK_GL:-1}
case $part in replay | window | all | __window-inner) ;; *)
  echo "soak.sh: the part is replay, window or all, not '$part'" >&2
  exit 2
  ;;
esac
if ! [[ $minutes =~ ^[0-9]+$ ]] || ((minutes < 3)); then
  echo "soak.sh: SOAK_MINUTES must be a whole number of at least 3, not '$minutes'" >&2
  exit 2
fi

failed=0
fail() {
  echo "soak.sh: FAIL: $*" >&2
  failed=1
}

rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null || true; }
# User plus system CPU time in clock ticks: a hung game would look flat too.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

# Prints the series "label:KiB ..." and checks it for growth after the warm-up: the lowest value
# of the last third of those samples against the lowest of the first third. A leak raises that
# floor; the allocator's and the sanitizer's churn only moves the peaks about.
# Arguments: name, warm-up label, then label:KiB pairs.
check_flat() {
  local name=$1 warm=$2
  shift 2
  local kept=() pair
  echo "$name VmRSS series (label:KiB): $*"
  for pair in "$@"; do
    if ((${pair%%:*} >= warm)); then kept+=("${pair##*:}"); fi
  done
  local n=${#kept[@]}
  if ((n < 3)); then
    fail "$name: only $n samples after the warm-up ($warm)"
    return
  fi
  local third=$((n / 3)) i first_min="" last_min="" peak=0
  for ((i = 0; i < n; i++)); do
    local kib=${kept[i]}
    if ((i < third)) && [[ -z $first_min || $kib -lt $first_min ]]; then first_min=$kib; fi
    if ((i >= n - third)) && [[ -z $last_min || $kib -lt $last_min ]]; then last_min=$kib; fi
    if ((kib > peak)); then peak=$kib; fi
  done
  local growth=$((last_min - first_min))
  local summary="floor $first_min -> $last_min KiB ($growth KiB), first $((kept[0])), last"
  summary+=" $((kept[n - 1])), peak $peak KiB, $n samples after $warm, limit $limit_kib KiB"
  if ((growth < limit_kib)); then
    echo "$name: flat: $summary"
  else
    fail "$name: grew: $summary"
  fi
}

sanitizer_clean() {
  if grep -E -q 'ERROR: (Address|Leak)Sanitizer|runtime error:|SUMMARY: .*Sanitizer' "$1"; then
    fail "sanitizer report in $1:"
    grep -E -m 20 'Sanitizer|runtime error' "$1" >&2
    return 1
  fi
}

# A script for a long live flight with the keyboard: weaving turns and speed changes, never
# still for long, long enough for the recorder to fill (it takes 19999 entries).
write_long_script() {
  local steps=$1 out=$2 s
  {
    echo "# A long keyboard flight that fills the flight recorder."
    echo "0 key up"
    for ((s = 100; s + 200 < steps; s += 300)); do
      if (((s / 300) % 2)); then k=left; else k=right; fi
      echo "$s key-down $k"
      echo "$((s + 25 + (s % 7) * 5)) key-up $k"
      if (((s / 300) % 5 == 0)); then
        echo "$((s + 120)) key-down up"
        echo "$((s + 150)) key-up up"
      elif (((s / 300) % 5 == 2)); then
        echo "$((s + 120)) key-down down"
        echo "$((s + 140)) key-up down"
      fi
    done
  } > "$out"
}

soak_replay() {
  echo "== replay soak: a full-length recording replayed under AddressSanitizer"
  if [[ ! -f $asan_build/CMakeCache.txt ]]; then
    cmake -S . -B "$asan_build" -DDRAVIK_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      > "$asan_build.configure.log" 2>&1 || { cat "$asan_build.configure.log" >&2; exit 1; }
  fi
  cmake --build "$asan_build" -j2 --target dravik-headless dravik_media > "$asan_build.build.log" 2>&1 ||
    { tail -40 "$asan_build.build.log" >&2; exit 1; }
  local runner=$root/$asan_build/dravik-headless
  local work
  work=$(mktemp -d /tmp/dravik-soak-replay.XXXXXX)
  cp -r "$asan_build/media" "$work/media"
  cd "$work"
  # The quarantine holds freed memory back for use-after-free checks and grows the resident size
  # until it is full; 16 MiB fills within the warm-up, so the growth measured after it is real.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:quarantine_size_mb=16
  export UBSAN_OPTIONS=print_stacktrace=1
  # The leak check runs after Mesa has unloaded its GL driver, so what the driver's globals held
  # would look leaked: preloading keeps it mapped (the sanitizer runtime first). fontconfig's own
  # lasting allocations are suppressed by name.
  export LSAN_OPTIONS=suppressions=$root/tests/faults/outside_leaks.supp:print_suppressions=0
  local preload
  preload=$(ldd "$runner" | awk '/libasan\.so/ {print $3}')
  for lib in /usr/lib/x86_64-linux-gnu/dri/swrast_dri.so /usr/lib/x86_64-linux-gnu/libEGL_mesa.so.0; do
    if [[ -e $lib ]]; then preload+=" $lib"; fi
  done
  export SDL_AUDIODRIVER=dummy DRAVIK_NO_DIALOGS=1

  local live_steps=20200
  write_long_script "$live_steps" long_flight.txt
  local started=$SECONDS
  if ! "$runner" --no-gl --script long_flight.txt --steps "$live_steps" --save full.dvk \
      2> live.err; then
    fail "the live flight exited with $?"
  fi
  sanitizer_clean live.err || true
  local size count
  size=$(stat -c %s full.dvk 2>/dev/null || echo 0)
  count=$(od -An -tu4 -N4 full.dvk 2>/dev/null | tr -d ' ' || echo 0)
  echo "live flight: $live_steps steps in $((SECONDS - started)) s; full.dvk $size bytes, count $count"
  [[ $size == 120004 ]] || fail "full.dvk is $size bytes, not 120004"
  [[ $count == 19999 ]] || fail "full.dvk counts $count entries, not 19999 (a full recorder)"

  local modes=(--no-gl)
  if [[ $with_gl == 1 ]]; then modes+=(gl); fi
  for mode in "${modes[@]}"; do
    local args=(--replay full.dvk --state-log "replay-$mode.jsonl")
    if [[ $mode == --no-gl ]]; then args=(--no-gl "${args[@]}"); fi
    : > "replay-$mode.jsonl"
    started=$SECONDS
    LD_PRELOAD=$preload SDL_VIDEODRIVER=offscreen "$runner" "${args[@]}" 2> "replay-$mode.err" &
    local pid=$! samples=() steps kib
    while kill -0 "$pid" 2>/dev/null; do
      kib=$(rss_kib "$pid")
      steps=$(wc -l < "replay-$mode.jsonl")
      if [[ -n $kib ]]; then samples+=("$steps:$kib"); fi
      sleep 1
    done
    local code=0
    wait "$pid" || code=$?
    steps=$(wc -l < "replay-$mode.jsonl")
    echo "replay ($mode): $steps steps in $((SECONDS - started)) s, exit $code"
    ((code == 0)) || fail "the replay ($mode) exited with $code"
    ((steps >= 19998)) || fail "the replay ($mode) ran $steps steps, not the whole recording"
    sanitizer_clean "replay-$mode.err" || true
    # The first quarter warms up: caches, the GL driver, the sanitizer's quarantine.
    check_flat "replay ($mode)" 5000 "${samples[@]}"
  done
  cd "$root"
  if ((failed == 0)); then rm -rf "$work"; else echo "soak.sh: files kept in $work" >&2; fi
}

# Runs inside xvfb-run: the game in a window, keys held now and then, VmRSS every minute.
window_inner() {
  local game=$1 work=$2
  cd "$work"
  "$game" > game.out 2> game.err &
  local pid=$! window=""
  for _ in $(seq 1 100); do
    window=$(xdotool search --name '^Dravik$' 2>/dev/null | head -n 1 || true)
    [[ -n $window ]] && break
    sleep 0.2
  done
  if [[ -z $window ]]; then
    fail "no Dravik window appeared"
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" || true
    return
  fi
  xdotool windowfocus "$window" 2>/dev/null || true
  sleep 3  # the start-up: the media load before the controller choice
  xdotool key --clearmodifiers Up  # the keyboard
  local samples=() start=$SECONDS minute=0 next=0 keys=(Left Right Up Down Left Right)
  local cpu_at_warm=0 cpu_at_end=0
  RANDOM=20240611
  while ((minute <= minutes)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      fail "the game ended by itself after $minute minutes"
      break
    fi
    if ((SECONDS - start >= next)); then
      local kib ticks
      kib=$(rss_kib "$pid") ticks=$(cpu_ticks "$pid")
      samples+=("$minute:$kib")
      echo "  minute $minute: VmRSS $kib KiB, CPU $((ticks / $(getconf CLK_TCK))) s"
      if ((minute == 2)); then cpu_at_warm=$ticks; fi
      cpu_at_end=$ticks
      minute=$((minute + 1))
      next=$((minute * 60))
      continue
    fi
    # Hold a flight key for a moment, now and then switch the view or the music.
    local key=${keys[RANDOM % ${#keys[@]}]}
    xdotool keydown "$key"
    sleep "0.$((RANDOM % 9 + 1))"
    xdotool keyup "$key"
    case $((RANDOM % 20)) in
      0) xdotool key Control_L ;;
      1) xdotool key m ;;
    esac
    sleep "$((RANDOM % 3)).$((RANDOM % 10))"
  done
  # SIGTERM closes the window as the window manager would, so the shut-down runs.
  kill -TERM "$pid" 2>/dev/null || true
  local code=0
  wait "$pid" || code=$?
  echo "window run: exit $code after $(((SECONDS - start) / 60)) minutes"
  ((code == 0)) || fail "the game exited with $code"
  if grep -v -E '^Dravik: no audio output' game.err | grep -q .; then
    echo "game stderr:"
    sed -n 1,20p game.err
  fi
  # A running game steps about 32 frames a second; far less CPU than a second a minute is a hang.
  if ((cpu_at_end - cpu_at_warm < (minutes - 2) * $(getconf CLK_TCK))); then
    fail "the game used only $(((cpu_at_end - cpu_at_warm) / $(getconf CLK_TCK))) s of CPU after minute 2"
  fi
  check_flat "window run" 2 "${samples[@]}"
  return "$failed"
}

soak_window() {
  echo "== window soak: $minutes minutes of play in a window under Xvfb"
  for tool in xvfb-run xdotool; do
    command -v "$tool" > /dev/null || { echo "soak.sh: needs $tool (apt-get install xvfb xdotool)" >&2; exit 1; }
  done
  if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build.configure.log" 2>&1 ||
      { cat "$build.configure.log" >&2; exit 1; }
  fi
  cmake --build "$build" -j2 --target dravik dravik_media > "$build.soak-build.log" 2>&1 ||
    { tail -40 "$build.soak-build.log" >&2; exit 1; }
  local work
  work=$(mktemp -d /tmp/dravik-soak-window.XXXXXX)
  cp -r "$build/media" "$work/media"
  local code=0
  SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} DRAVIK_NO_DIALOGS=1 SOAK_MINUTES=$minutes \
    SOAK_LIMIT_KIB=$limit_kib xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    bash "$root/scripts/soak.sh" __window-inner "$root/$build/dravik" "$work" || code=$?
  ((code == 0)) || failed=1
  if ((failed == 0)); then rm -rf "$work"; else echo "soak.sh: files kept in $work" >&2; fi
}

case $part in
  __window-inner)
    window_inner "$2" "$3"
    exit "$failed"
    ;;
  replay) soak_replay ;;
  window) soak_window ;;
  all)
    soak_replay
    soak_window
    ;;
esac
if ((failed)); then
  echo "soak.sh: FAILED" >&2
  exit 1
fi
echo "soak.sh: all soaks passed"
