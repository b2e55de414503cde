#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan and runs
# the whole test suite under them, leaks included. Extra arguments go to ctest (e.g. -R Midi).
# Leaks are reported for our code; scripts/lsan.supp names only the outside libraries whose own
# start-up allocations live until exit.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

cmake -S . -B build-asan -DDRAVIK_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-asan -j2

cd build-asan
# GL tests render on llvmpipe through SDL's offscreen driver; no sound card is needed.
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy DRAVIK_NO_DIALOGS=1
# Mesa's EGL and its software driver are unloaded before LeakSanitizer looks at the heap, and the
# blocks their globals held then look leaked, from a module without a name. Loaded up front they
# stay to the end, and those blocks are seen as held (which lets ASan's runtime come second).
multiarch=$(gcc -print-multiarch 2>/dev/null || echo x86_64-linux-gnu)
preload=()
for library in /usr/lib/$multiarch/dri/swrast_dri.so /usr/lib/$multiarch/libEGL_mesa.so.0; do
  if [[ -f $library ]]; then preload+=("$library"); fi
done
if [[ ${#preload[@]} -gt 0 ]]; then export LD_PRELOAD="${preload[*]}"; fi
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:verify_asan_link_order=0
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --output-on-failure --timeout 1200 "$@"
