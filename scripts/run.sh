#!/usr/bin/env bash
# Builds the configurator and the simulator (nothing else) and starts the
# configurator against the simulated detector, with a demo configuration
# folder kept apart from the user's own:
#   scripts/run.sh [luma10 options...]
# The simulator runs on the first free COM number of the demo folder and is
# stopped when luma10 exits. Press "Подключиться" to see the live detector.
# What is saved in the demo folder stays: the demo configuration is written
# only when there is none, and later runs only point its port at the
# simulator's COM number.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target luma10 luma10-sim

demo="$PWD/$build/demo-config"
mkdir -p "$demo/ports"
export LUMA10_CONFIG_DIR="$demo"

# The first COM number whose link in the demo ports folder is absent or stale.
com=1
while [ "$com" -le 254 ]; do
  link="$demo/ports/com$com"
  if [ ! -e "$link" ]; then
    rm -f "$link"
    break
  fi
  com=$((com + 1))
done
if [ "$com" -gt 254 ]; then
  echo "run: no free COM number in $demo/ports" >&2
  exit 1
fi

bash scripts/demo-config.sh "$demo/luma10.json" "$com"

"$build/luma10-sim" --com "$com" --address 1 --address 3 --foreign 5 --concentration 12.5 >"$demo/sim.log" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT
# Wait until the simulator has registered its line.
for _ in $(seq 50); do
  [ -e "$demo/ports/com$com" ] && break
  sleep 0.1
done
echo "run: simulator on COM$com (log: $demo/sim.log)"
"$build/luma10" "$@"
