#!/usr/bin/env bash
# Builds the simulation and the headless runner three more ways (GCC -O3 -march=native with a
# packager's -ffp-contract=fast, Clang -O2 -march=native, GCC -O0) and checks that each replays the
# recorded flights to state logs byte-identical to the normal build's (--no-gl --log-obstacles).
#
# Usage: bash scripts/check-determinism.sh [NORMAL_BUILD_DIR]   (default: build)
# The variants are built in build-det-*/; DRAVIK_DET_VARIANTS picks some by name.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
normal=$(cd "$root" && mkdir -p "${1:-build}" && cd "${1:-build}" && pwd)
flights=(keyboard_flight mouse_flight)
variants=(
  "gcc-O3-native|gcc|g++|-O3 -march=native -ffp-contract=fast"
  "clang-O2-native|clang|clang++|-O2 -march=native"
  "gcc-O0|gcc|g++|-O0"
)
wanted=${DRAVIK_DET_VARIANTS:-}

if [ ! -x "$normal/dravik-headless" ] || [ ! -d "$normal/media" ]; then
    cmake -S "$root" -B "$normal" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
    cmake --build "$normal" -j2 --target dravik-headless dravik_media
fi
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

replay() {  # replay BUILD FLIGHT OUT
    DRAVIK_DATA_DIR="$normal" "$1/dravik-headless" --no-gl --log-obstacles \
        --replay "$root/tests/data/$2.dvk" --state-log "$3" 2>/dev/null
}

for f in "${flights[@]}"; do replay "$normal" "$f" "$logs/normal-$f.jsonl"; done

passed=0
failed=0
for v in "${variants[@]}"; do
    IFS='|' read -r name cc cxx flags <<< "$v"
    if [ -n "$wanted" ] && [[ " $wanted " != *" $name "* ]]; then continue; fi
    dir="$root/build-det-$name"
    echo "== $name: CC=$cc CXX=$cxx CFLAGS/CXXFLAGS='$flags'"
    # An unknown build type adds no flags of its own: only the variant's reach the compiler.
    CC=$cc CXX=$cxx CFLAGS="$flags" CXXFLAGS="$flags" cmake -S "$root" -B "$dir" \
        -DCMAKE_BUILD_TYPE=Determinism -DBUILD_TESTING=OFF -DDRAVIK_BENCH=OFF \
        ${DRAVIK_DET_CMAKE_ARGS:-} > /dev/null
    cmake --build "$dir" -j2 --target dravik-headless > "$dir/build.log" 2>&1 ||
        { tail -20 "$dir/build.log"; echo "FAILED: $name does not build"; failed=$((failed + 1)); continue; }
    for f in "${flights[@]}"; do
        out="$logs/$name-$f.jsonl"
        if replay "$dir" "$f" "$out" && cmp -s "$logs/normal-$f.jsonl" "$out"; then
            echo "   $f: $(wc -l < "$out") steps, identical"
            passed=$((passed + 1))
        else
            echo "   $f: DIFFERS from the normal build: $(cmp "$logs/normal-$f.jsonl" "$out" 2>&1 | head -1)"
            failed=$((failed + 1))
        fi
    done
done
echo "determinism: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
