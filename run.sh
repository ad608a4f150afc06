#!/usr/bin/env bash
# Installs what is missing, builds a release, starts the BMS simulator on the virtual CAN bus
# and then the program. The simulator stops when the program exits.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

build=build-release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DUPPER_BUILD_TESTS=OFF -DUPPER_BUILD_BENCH=OFF
cmake --build "$build" -j "$(nproc)"

bin="$build/bin"
simlog=$(mktemp)
"$bin/bms-sim" --uart >"$simlog" 2>&1 &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true; rm -f "$simlog"' EXIT
# The simulator names the pseudo-terminal of battery 01's serial boot loader; the system does
# not list pseudo-terminals, so the program is told of it.
for _ in $(seq 50); do
    grep -q "uart boot loader on" "$simlog" && break
    sleep 0.1
done
uart=$(sed -n 's/^bms-sim: uart boot loader on //p' "$simlog")
[ -n "$uart" ] && export UPPER_SERIAL_PORTS="$uart"
echo "Simulator started: batteries 01, 02, 03 and 12 on the virtual CAN bus."
echo "Press OPEN CAN-BUS in the program to see them."
[ -n "$uart" ] && echo "Battery 01's serial boot loader is on $uart (COM Ports), for .bin upgrades."

program=("$bin/upper-computer")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running under xvfb-run (the window is not visible)."
    program=(xvfb-run -a -s "-screen 0 1366x768x24" "${program[@]}")
fi
"${program[@]}"
