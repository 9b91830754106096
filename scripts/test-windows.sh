#!/usr/bin/env bash
# The Windows part of the test command: the cross builds (x86-64 and i686),
# the unit suites built as .exe and run under Wine, luma10ctl.exe against the
# Linux simulator through a COM port of a private Wine prefix, compared with
# the Linux luma10ctl, and the installer installed, run and removed.
#   scripts/test-windows.sh [LINUX_BUILD_DIR]   (default build/; it must hold
#                                               luma10-sim and luma10ctl)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
linux=$(cd "${1:-build}" && pwd)
jobs="$(nproc 2>/dev/null || echo 2)"
started=$(date +%s)

wine64=$(command -v wine64 || true)
[ -n "$wine64" ] || wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || { echo "test-windows: wine64 not found (scripts/setup.sh installs it)" >&2; exit 1; }

# 1. Builds: only what is tested.
cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUMA_GUI=ON >/dev/null
cmake --build build-win64 -j "$jobs" --target luma10ctl luma10 native_ui_tests foundation_tests model_tests win32_tests \
  fuzz_reply_parser fuzz_master fuzz_journal_records luma10_ico
(cd build-win64 && cpack -G "NSIS;ZIP" >/dev/null)
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUMA_GUI=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-win32 -j "$jobs" --target luma10ctl luma10

# 2. A private Wine prefix, its server kept running for the whole run.
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/luma10-wine.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d /tmp/luma10-wintest.XXXXXX)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT
wineserver -p >/dev/null 2>&1
"$wine64" wineboot -i >"$work/wineboot.log" 2>&1

# The Windows name of a Linux path (Wine's drive Z: is the root).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# 3. Unit suites under Wine.
ctest --test-dir build-win64 --output-on-failure --timeout 300

if [ -e /usr/lib/wine/wine ] || [ -e /usr/lib/i386-linux-gnu/wine/wine ]; then
  "$wine64" build-win32/luma10ctl.exe --help >/dev/null
  echo "test-windows: the i686 luma10ctl.exe runs"
else
  echo "test-windows: i686 luma10ctl.exe built; not run (Wine's 32-bit part, wine32, is not installed)"
fi

# 4. End to end: the same commands against a fresh simulator on each side.
export LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8
locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$' || export LC_ALL=C.UTF-8 LANG=C.UTF-8
mkdir -p "$work/cfg"
export LUMA10_CONFIG_DIR="$work/cfg"
start_sim() {
  "$linux/luma10-sim" --drift 0 --records 7 --seed 3 >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
  pty=$(head -1 "$work/sim.out")
  [ -n "$pty" ] || { echo "test-windows: the simulator did not start" >&2; cat "$work/sim.err" >&2; exit 1; }
  ln -sfn "$pty" "$WINEPREFIX/dosdevices/com7"
}
stop_sim() { kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; sim_pid=""; }
# run_pair NAME ARGS...: Linux and Windows output in $work/NAME.lin and .win
run_pair() {
  local name=$1; shift
  local rc_lin=0 rc_win=0
  start_sim
  "$linux/luma10ctl" --port "$pty" "$@" >"$work/$name.lin" 2>"$work/$name.lin.err" || rc_lin=$?
  stop_sim
  start_sim
  LUMA10_CONFIG_DIR=$(winpath "$work/cfg") "$wine64" build-win64/luma10ctl.exe --port 7 "$@" \
    >"$work/$name.win.raw" 2>"$work/$name.win.err" || rc_win=$?
  stop_sim
  # The console's text mode ends Windows lines with CR LF; the text is the same.
  tr -d '\r' <"$work/$name.win.raw" >"$work/$name.win"
  if [ "$rc_lin" != "$rc_win" ]; then
    echo "test-windows: $name: exit $rc_lin on Linux, $rc_win on Windows" >&2
    cat "$work/$name.win.err" >&2
    exit 1
  fi
}
same() {
  if ! cmp -s "$1" "$2"; then
    echo "test-windows: $3 differs between Linux and Windows:" >&2
    diff "$1" "$2" >&2 || true
    exit 1
  fi
}
for cmd in info thresholds alarms "device-link --speed 19200" "journal threshold1 --format csv"; do
  name=${cmd// /_}
  # shellcheck disable=SC2086
  run_pair "$name" $cmd
  same "$work/$name.lin" "$work/$name.win" "luma10ctl $cmd"
done
# Exports into files: byte for byte the same.
run_pair export_csv journal threshold1 --format csv -o "$work/t1.csv"
mv "$work/t1.csv" "$work/t1.lin.csv"
start_sim
LUMA10_CONFIG_DIR=$(winpath "$work/cfg") "$wine64" build-win64/luma10ctl.exe --port 7 \
  journal threshold1 --format csv -o "$(winpath "$work/t1.win.csv")" >/dev/null 2>&1
stop_sim
same "$work/t1.lin.csv" "$work/t1.win.csv" "the exported CSV file"
# The device clock runs on: the two readings match in form and lie within a
# few seconds of the host's clock.
run_pair clock clock
mask() { sed 's/[0-9]/9/g' "$1"; }
[ "$(mask "$work/clock.lin")" = "$(mask "$work/clock.win")" ] || { echo "test-windows: clock format differs" >&2; exit 1; }
diff_s=$(( $(date +%s) - $(date -d "$(cat "$work/clock.win")" +%s) ))
[ "${diff_s#-}" -le 30 ] || { echo "test-windows: Windows clock reading off by ${diff_s} s" >&2; exit 1; }
echo "test-windows: luma10ctl.exe matches luma10ctl (info, thresholds, alarms, device-link --speed, journal csv, export file, clock)"

# Ctrl+C (Wine turns SIGINT into the console's Ctrl+C event) ends a
# calibration as on Linux: the procedure stops, adjustment mode is released,
# the exit status is 1, and the detector is left out of adjustment mode.
"$linux/luma10-sim" --drift 0 --calibration-time 60000 >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
pty=$(head -1 "$work/sim.out")
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com7"
LUMA10_CONFIG_DIR=$(winpath "$work/cfg") "$wine64" build-win64/luma10ctl.exe --port 7 calibrate zero \
  >"$work/calibrate.out" 2>&1 &
ctl=$!
for _ in $(seq 600); do grep -q "Прошло" "$work/calibrate.out" && break; sleep 0.1; done
kill -INT "$ctl"
rc=0
wait "$ctl" || rc=$?
tr -d '\r' <"$work/calibrate.out" >"$work/calibrate.txt"
if [ "$rc" != 1 ] || ! grep -q "прекращена пользователем" "$work/calibrate.txt" ||
   ! grep -q "Режим наладки отключен" "$work/calibrate.txt" ||
   ! "$linux/luma10ctl" --port "$pty" info | grep -q "Режим наладки: 0"; then
  echo "test-windows: Ctrl+C did not end the calibration as on Linux (exit $rc)" >&2
  cat "$work/calibrate.txt" >&2
  exit 1
fi
stop_sim
echo "test-windows: Ctrl+C ends luma10ctl.exe's calibration with adjustment mode released"

# 5. The installer.
bash scripts/test-installer.sh "build-win64/luma10-$(sed -n 's/^project(luma10 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)-win64.exe"

echo "test-windows: Windows part took $(( $(date +%s) - started )) s"
