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
"$bin/bms-sim" &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true' EXIT
echo "Simulator started: batteries 01, 02, 03 and 12 on the virtual CAN bus."
echo "Press OPEN CAN-BUS in the program to see them."

program=("$bin/upper-computer")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running under xvfb-run (the window is not visible)."
    program=(xvfb-run -a -s "-screen 0 1366x768x24" "${program[@]}")
fi
"${program[@]}"
