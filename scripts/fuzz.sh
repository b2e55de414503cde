#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang in build-fuzz, seeds them and runs each in turn.
# Usage: scripts/fuzz.sh [SECONDS_PER_FUZZER (default 60)] [FUZZER...]
# Fuzzers: recording dds texture model wave midi tune (all by default). Exits non-zero when any
# fuzzer finds a crash, a leak or a hang; the input is kept in build-fuzz/fuzz-work/artifacts.
# The third-party X files are looked for in $DRAVIK_X_TESTDATA, ../shared/testdata/x (CI) and
# /work/shared/testdata/x.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
if [[ $# -gt 0 ]]; then shift; fi
all=(recording dds texture model wave midi tune)
fuzzers=("$@")
if [[ ${#fuzzers[@]} -eq 0 ]]; then fuzzers=("${all[@]}"); fi
if ! [[ $seconds =~ ^[0-9]+$ ]] || [[ $seconds -eq 0 ]]; then
  echo "fuzz.sh: the time per fuzzer must be a whole number of seconds, not '$seconds'" >&2
  exit 2
fi
for name in "${fuzzers[@]}"; do
  if [[ " ${all[*]} " != *" $name "* ]]; then
    echo "fuzz.sh: no fuzzer '$name' (have: ${all[*]})" >&2
    exit 2
  fi
done

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DDRAVIK_FUZZ=ON -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build.configure.log" 2>&1 ||
  { cat "$build.configure.log" >&2; exit 1; }
rm -f "$build.configure.log"
cmake --build "$build" -j2 --target dravik_fuzzers dravik_media

work=$build/fuzz-work
seeds=$work/seeds
rm -rf "$seeds"
"$build/fuzz/fuzz-seeds" "$seeds"

# The generated game media, each kind to the fuzzers that read it; pictures above 1 MiB only slow
# the mutations down.
copy_small() {  # folder, files...
  local folder=$1
  shift
  for file in "$@"; do
    if [[ -f $file && $(stat -c %s "$file") -le 1048576 ]]; then cp "$file" "$seeds/$folder/"; fi
  done
}
media=$build/media
copy_small dds "$media"/*.dds
copy_small texture "$media"/*.dds "$media"/*.png
copy_small wave "$media"/*.wav
copy_small midi "$media"/*.mid
copy_small tune "$media"/*.mid
copy_small model "$media"/*.x

x_data=
for candidate in "${DRAVIK_X_TESTDATA:-}" ../shared/testdata/x /work/shared/testdata/x; do
  if [[ -n $candidate && -d $candidate ]]; then x_data=$candidate; break; fi
done
if [[ -n $x_data ]]; then
  copy_small model "$x_data"/*.x
else
  echo "fuzz.sh: no third-party X files found; the model fuzzer starts from generated ones" >&2
fi

declare -A dictionary=([dds]=texture [texture]=texture [model]=model [wave]=wave [midi]=midi
  [tune]=midi)
failed=()
summary=()
for name in "${fuzzers[@]}"; do
  corpus=$work/corpus/$name
  artifacts=$work/artifacts/$name
  log=$work/logs/$name.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
    -artifact_prefix="$artifacts/")
  if [[ -n ${dictionary[$name]:-} ]]; then options+=(-dict="fuzz/${dictionary[$name]}.dict"); fi
  echo "== fuzz_$name for ${seconds}s"
  status=0
  "$build/fuzz/fuzz_$name" "${options[@]}" "$corpus" "$seeds/$name" > "$log" 2>&1 || status=$?
  # libFuzzer's last coverage line and its final statistics.
  grep -E '^#[0-9]+[[:space:]]+(DONE|NEW|REDUCE|pulse|INITED)' "$log" | tail -n 1 || true
  grep -E '^stat::' "$log" || true
  if [[ $status -ne 0 ]]; then
    echo "fuzz_$name FAILED (exit $status); the input is in $artifacts, the log in $log" >&2
    grep -E 'ERROR: |SUMMARY: |broken promise|Test unit written' "$log" | head -n 10 >&2 || true
    failed+=("$name")
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: //p' "$log")
  cov=$(grep -E '^#[0-9]+' "$log" | tail -n 1 | sed -n 's/.* cov: \([0-9]*\).* ft: \([0-9]*\).*/cov \1 ft \2/p')
  summary+=("fuzz_$name: ${execs:-?} executions, ${cov:-no coverage line}, exit $status")
done

echo "== summary (${seconds}s each)"
printf '%s\n' "${summary[@]}"
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz.sh: crashes or hangs in: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz.sh: no crash, leak or hang found"
