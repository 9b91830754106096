#!/usr/bin/env bash
# The configurator built for Windows, run under Wine on a virtual X server
# against the simulator, which runs natively on a pseudo-terminal that the
# Wine prefix sees as COM7:
#   scripts/test_windows_gui.sh WIN_BUILD LINUX_BUILD [SHOT_DIR]
# WIN_BUILD holds luma10.exe (x86-64); LINUX_BUILD holds luma10 and
# luma10-sim. The pictures are left in SHOT_DIR when one is given.
#
# Checks, each of which fails the script:
#  - native_ui_tests.exe (when built) passes;
#  - `luma10.exe --connect --screenshot` writes the connected main window; it
#    has the size of the Linux build's picture of the same window, is not
#    blank, differs from it in under 4 % of its pixels (the detector's values
#    are there), and the simulator was asked for registers by it;
#  - `luma10.exe --open NAME --screenshot` writes a picture of every
#    sub-window, of the Linux one's size and under 10 % of it differing;
#  - the end of the desktop session (Wine's end-session message) ends a
#    connected luma10.exe, which saves its configuration on the way out.
set -euo pipefail

win_build="$(cd "${1:?WIN_BUILD}" && pwd)"
linux_build="$(cd "${2:?LINUX_BUILD}" && pwd)"
shots="${3:-}"
for need in identify compare; do
  command -v "$need" >/dev/null || { echo "test_windows_gui: $need (ImageMagick) is missing" >&2; exit 1; }
done

scratch="$(mktemp -d)"
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  wine_gui_cleanup
  wait 2>/dev/null || true
  if [ -n "${KEEP_SCRATCH:-}" ]; then echo "scratch: $scratch"; else rm -rf "$scratch"; fi
}
trap cleanup EXIT

fail() {
  echo "test_windows_gui: FAILED: $*" >&2
  exit 1
}

# shellcheck source=scripts/wine_gui_env.sh
. "$(dirname "$0")/wine_gui_env.sh"

# The native layer's own tests, which need the display.
if [ -e "$win_build/native_ui_tests.exe" ]; then
  "$wine" "$win_build/native_ui_tests.exe" >"$scratch/native_ui_tests.log" 2>&1 ||
    fail "native_ui_tests.exe: $(cat "$scratch/native_ui_tests.log")"
  tail -n1 "$scratch/native_ui_tests.log"
fi

# The simulator on a pseudo-terminal, seen by Linux programs as COM1 of its
# configuration folder and by Windows programs of the prefix as COM7.
sim_dir="$scratch/sim"
mkdir -p "$sim_dir"
# Its log, line by line as it is written, shows who asked for registers.
LUMA10_CONFIG_DIR="$sim_dir" stdbuf -oL "$linux_build/luma10-sim" --com 1 --address 1 --concentration 12.5 --verbose \
  >"$scratch/sim.log" 2>&1 &
sim_pid=$!
wait_for 30 test -e "$sim_dir/ports/com1" || fail "the simulator did not start: $(cat "$scratch/sim.log")"
ln -s "$(readlink -f "$sim_dir/ports/com1")" "$WINEPREFIX/dosdevices/com7"

config() {  # config FILE COM
  cat >"$1" <<JSON
{"app_config":{"connection":{"block_id":1,"driver_config":{
 "port_config":{"port":$2,"speed":9600,"parity":0,"stop_bits":0,"before_send_delay":0},"timeout":1000}}}}
JSON
}

# The Windows program in a folder of its own, its configuration beside it.
prog="$scratch/prog"
mkdir -p "$prog"
cp "$win_build/luma10.exe" "$prog/"
config "$prog/luma10.json" 7

# The Linux picture of the connected main window, for its size.
linux_cfg="$scratch/linux"
mkdir -p "$linux_cfg/ports"
cp -P "$sim_dir/ports/com1" "$linux_cfg/ports/com1"
config "$linux_cfg/luma10.json" 1
LUMA10_CONFIG_DIR="$linux_cfg" SDL_VIDEODRIVER=offscreen \
  "$linux_build/luma10" --connect --screenshot "$scratch/linux-main.png" --after 4000 \
  >"$scratch/linux.log" 2>&1 || fail "Linux luma10: $(cat "$scratch/linux.log")"

# Register reads (function 3) the simulator has answered so far.
sim_requests() { grep -c -- '-> .. 03' "$scratch/sim.log" || true; }
more_requests_than() { [ "$(sim_requests)" -gt "$1" ]; }

# A picture under Wine against the Linux one of the same window: the same
# size, and under LIMIT % of the pixels differing (fonts and glyph placement
# differ by a pixel here and there: under 2 % in the main window, while a
# main window without the detector's values differs in over 7 %).
check_picture() {  # check_picture LINUX WINE WHAT LIMIT
  [ -s "$2" ] || fail "$3: no picture"
  local ls ws differing total
  ls="$(identify -format '%wx%h' "$1")"
  ws="$(identify -format '%wx%h' "$2")"
  [ "$ls" = "$ws" ] || fail "$3 is $ws under Wine, $ls on Linux"
  differing="$(compare -metric AE -fuzz 15% "$1" "$2" null: 2>&1 || true)"
  total=$(( ${ws%x*} * ${ws#*x} ))
  [ "${differing%%.*}" -lt $((total * $4 / 100)) ] ||
    fail "$3 under Wine differs from Linux in $differing of $total pixels"
  echo "test_windows_gui: $3: $differing of $total pixels differ from the Linux picture"
}

requests_before="$(sim_requests)"
start=$SECONDS
(cd "$prog" && "$wine" luma10.exe --connect --screenshot 'C:\main.png' --after 6000) \
  >"$scratch/win.log" 2>&1 || fail "luma10.exe --connect: $(cat "$scratch/win.log")"
echo "test_windows_gui: luma10.exe --connect --screenshot took $((SECONDS - start)) s"
main="$WINEPREFIX/drive_c/main.png"
check_picture "$scratch/linux-main.png" "$main" "connected main window" 4
more_requests_than "$requests_before" || fail "luma10.exe never asked the simulator for registers"
[ -n "$shots" ] && mkdir -p "$shots" && cp "$main" "$shots/main-wine.png" && cp "$scratch/linux-main.png" "$shots/main-linux.png"

# Every sub-window, by the names the program itself lists.
names="$({ "$linux_build/luma10" --open '?' 2>&1 || true; } | sed -n 's/.*одно из: //p' | tr -d ',')"
[ -n "$names" ] || fail "no sub-window names"
for name in $names; do
  rm -f "$WINEPREFIX/drive_c/sub.png"
  (cd "$prog" && "$wine" luma10.exe --open "$name" --screenshot 'C:\sub.png' --after 1500) \
    >"$scratch/win-$name.log" 2>&1 || fail "luma10.exe --open $name: $(cat "$scratch/win-$name.log")"
  LUMA10_CONFIG_DIR="$linux_cfg" SDL_VIDEODRIVER=offscreen \
    "$linux_build/luma10" --open "$name" --screenshot "$scratch/linux-sub.png" --after 1500 \
    >"$scratch/linux-$name.log" 2>&1 || fail "Linux luma10 --open $name: $(cat "$scratch/linux-$name.log")"
  check_picture "$scratch/linux-sub.png" "$WINEPREFIX/drive_c/sub.png" "sub-window $name" 10
  [ -n "$shots" ] && cp "$WINEPREFIX/drive_c/sub.png" "$shots/$name-wine.png"
done
echo "test_windows_gui: sub-windows under Wine: $names"

# The end of the session: a connected program asked by the system to end
# stops and saves its configuration (the program writes it pretty-printed,
# so a "port" with a space after its colon is the program's own writing).
config "$prog/luma10.json" 7
requests_before="$(sim_requests)"
(cd "$prog" && exec "$wine" luma10.exe --connect) >"$scratch/session.log" 2>&1 &
session_pid=$!
wait_for 60 more_requests_than "$requests_before" ||
  fail "luma10.exe did not connect: $(cat "$scratch/session.log")"
"$wine" wineboot --end-session >/dev/null 2>&1 || true
wait_for 60 sh -c "! kill -0 $session_pid 2>/dev/null" || fail "luma10.exe outlived the end of the session"
grep -q '"port": 7,' "$prog/luma10.json" || fail "the configuration was not saved at the end of the session"
echo "test_windows_gui: passed"
