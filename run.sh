#!/usr/bin/env bash
# Installs what is missing, builds a release, and starts the program.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

build=build-release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DUPPER_BUILD_TESTS=OFF
cmake --build "$build" -j "$(nproc)"

program=("$build/bin/upper-computer")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running under xvfb-run (the window is not visible)."
    program=(xvfb-run -a -s "-screen 0 1366x768x24" "${program[@]}")
fi
"${program[@]}"
