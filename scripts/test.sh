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

# The Windows programs, cross-built and run under Wine against the simulator
# of the build above (skipped in sanitizer runs, or with LUMA_SKIP_WINDOWS=1).
if [ -z "$san" ] && [ "${LUMA_SKIP_WINDOWS:-0}" != 1 ]; then
  bash scripts/test-windows.sh "$dir"
  # The configurator (luma10.exe, built above) under Wine on a virtual X
  # server, its pictures against the Linux build's.
  gui_start=$SECONDS
  bash scripts/test_windows_gui.sh build-win64 "$dir"
  echo "test: the Windows configurator under Wine took $((SECONDS - gui_start)) s"
fi
