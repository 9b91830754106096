#!/usr/bin/env bash
# Start-to-window of the configurator: the Windows build under Wine (x86-64,
# on a virtual X server, the Wine server already running) against the Linux
# build with SDL's offscreen driver.
#   bench/wine_start_to_window.sh WIN_BUILD LINUX_BUILD [RUNS]
# One run is `--screenshot FILE --after 0`: from the start of the process to
# the main window shown, drawn once into a PNG, and the process ended. The
# median of RUNS (default 5) is printed, in milliseconds, and beside it what
# Wine takes to start and end a program without a window.
set -euo pipefail
win_build="$(cd "${1:?WIN_BUILD}" && pwd)"
linux_build="$(cd "${2:?LINUX_BUILD}" && pwd)"
runs="${3:-5}"

scratch="$(mktemp -d)"
trap 'wine_gui_cleanup; wait 2>/dev/null || true; rm -rf "$scratch"' EXIT
# shellcheck source=scripts/wine_gui_env.sh
. "$(dirname "$0")/../scripts/wine_gui_env.sh"
mkdir -p "$scratch/prog" "$scratch/linux"
cp "$win_build/luma10.exe" "$scratch/prog/"
# The Wine server stays up between runs, as it does on a desktop.
wineserver -p 2>/dev/null || true

ms() { date +%s%3N; }
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

measure() {  # measure LABEL COMMAND...
  local label="$1" times=() t0
  shift
  for _ in $(seq "$runs"); do
    t0=$(ms)
    "$@" >/dev/null 2>&1
    times+=($(( $(ms) - t0 )))
  done
  printf '%-34s median %5d ms  (runs: %s)\n' "$label" "$(printf '%s\n' "${times[@]}" | median)" "${times[*]}"
}

win_run() { (cd "$scratch/prog" && "$wine" luma10.exe --screenshot 'C:\shot.png' --after 0); }
linux_run() {
  LUMA10_CONFIG_DIR="$scratch/linux" SDL_VIDEODRIVER=offscreen \
    "$linux_build/luma10" --screenshot "$scratch/linux.png" --after 0
}
# What Wine itself takes to start and end a program that opens no window.
baseline_run() { "$wine" "$win_build/native_ui_tests.exe" --gtest_list_tests; }
win_run  # the first start of a prefix sets it up; not counted
measure "luma10.exe under Wine" win_run
measure "luma10 on Linux (offscreen)" linux_run
[ -e "$win_build/native_ui_tests.exe" ] && measure "a windowless program under Wine" baseline_run
