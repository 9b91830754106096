#!/usr/bin/env bash
# Sets the machine up, builds everything and runs every test.
#   scripts/test.sh            normal build in build/
#   SANITIZE=thread scripts/test.sh    ThreadSanitizer build in build-thread/
#   SANITIZE=address scripts/test.sh   AddressSanitizer+UBSan build in build-address/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

san="${SANITIZE:-}"
dir="build${san:+-$san}"
jobs="$(nproc 2>/dev/null || echo 2)"

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMA_SANITIZE="$san" >/dev/null
cmake --build "$dir" -j "$jobs"
# GUI tests use SDL's offscreen driver: no display is needed.
export SDL_VIDEODRIVER=offscreen
ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300

# The headless build (no toolkit, no SDL): luma10ctl, luma10-sim and their
# tests must build and pass without the GUI too, or that configuration breaks
# unseen.
cmake -S . -B "$dir-headless" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMA_SANITIZE="$san" -DLUMA_GUI=OFF >/dev/null
cmake --build "$dir-headless" -j "$jobs"
ctest --test-dir "$dir-headless" --output-on-failure -j "$jobs" --timeout 300

# The configurator built for Windows (luma10.exe), under Wine on a virtual X
# server against the simulator of the build above. Not in sanitizer runs:
# the Windows build has no sanitizers.
if [ -z "$san" ] && command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v Xvfb >/dev/null; then
  gui_start=$SECONDS
  cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build-win64 -j "$jobs" --target luma10 native_ui_tests
  bash scripts/test_windows_gui.sh build-win64 "$dir"
  echo "test: the Windows configurator under Wine took $((SECONDS - gui_start)) s"
fi
