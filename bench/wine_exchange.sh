#!/usr/bin/env bash
# The master's time per exchange through Wine against the Linux build, on one
# simulator behind one pseudo-terminal (Linux opens the pty, the Windows
# build the COM port a private Wine prefix links to it).
#   bench/wine_exchange.sh [LINUX_BUILD] [WIN64_BUILD] [exchanges]
set -euo pipefail
cd "$(dirname "$0")/.."
linux=${1:-build}
win=${2:-build-win64}
count=${3:-300}
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
cmake --build "$linux" --target bench_exchange luma10-sim >/dev/null
cmake --build "$win" --target bench_exchange >/dev/null

export WINEPREFIX WINEDEBUG=-all
WINEPREFIX=$(mktemp -d /tmp/luma10-wine.XXXXXX)
out=$(mktemp)
sim=""
trap '[ -n "$sim" ] && kill $sim; wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX" "$out"' EXIT
wineserver -p >/dev/null 2>&1
"$wine64" wineboot -i >/dev/null 2>&1
"$linux/luma10-sim" --speed 115200 --drift 0 >"$out" 2>/dev/null &
sim=$!
for _ in $(seq 100); do [ -s "$out" ] && break; sleep 0.05; done
pty=$(head -1 "$out")
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com7"
echo "Linux: $("$linux/bench/bench_exchange" "$pty" "$count")"
echo "Wine:  $("$wine64" "$win/bench_exchange.exe" '\\.\COM7' "$count" | tr -d '\r')"
