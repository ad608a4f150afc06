#!/usr/bin/env bash
# Memory of the program over time with the bus open while bms-sim plays 28 batteries
# (--packs 0..27) on a virtual bus of its own; the program runs as a user starts it
# (bench/userfolder.sh), opened by the open-bus driver (bench/openbusdriver.cpp).
#
#   bench/open_bus_memory.sh [build dir] [minutes] [stalls]
#
# The figure is the process's anonymous memory (Anonymous in /proc/<pid>/smaps_rollup: its heaps
# and stacks, not the files it maps), where memory that is kept or that creeps up shows:
#   start:  once the program has settled with the bus open;
#   held:   `stalls` times (default 6) the whole program is stopped for STALL_SECONDS (default
#           4) and let go on, as a busy or sleeping machine holds it up while the batteries go
#           on sending: the frames that came meanwhile arrive at once from the bus;
#   busy:   as many times the window's thread alone is kept busy for as long (the driver's
#           "busy" request), as a window held up by something else: the CAN worker goes on
#           receiving and the frames queue up for the window;
#   steady: then `minutes` minutes (default 10) of plain traffic, a figure every 30 s, and the
#           growth per minute from the first to the last.
# Each figure is read once the backlog has been served (SERVED_SECONDS, default 20). Equal
# stalls leave equal backlogs: a figure that climbs from stall to stall is memory that backlogs
# leave behind.
#
# Use a Release build (default build-bench, as in the README). Needs xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/userfolder.sh
. bench/userfolder.sh

stall_seconds=${STALL_SECONDS:-4}
served_seconds=${SERVED_SECONDS:-20}

# Anonymous memory of a process in KiB.
anonymous() {
    awk '/^Anonymous:/ { print $2 }' "/proc/$1/smaps_rollup"
}

if [ "${1:-}" = "--inner" ]; then
    # Inside the X server.
    dir=$2 bin=$3 minutes=$4 stalls=$5
    pids=()
    # A stopped process is let go on first, or it would not end.
    # shellcheck disable=SC2317
    end_all() {
        local pid
        for pid in "${pids[@]}"; do
            kill -CONT "$pid" 2>/dev/null || true
            kill "$pid" 2>/dev/null || true
        done
    }
    trap end_all EXIT
    port=$((20000 + RANDOM % 10000))
    use_folder "$dir" "$port"
    "$bin/bms-sim" --interface "tcp://127.0.0.1:$port/can0" --packs "$(seq -s, 0 27)" \
        >/dev/null 2>&1 &
    pids+=("$!")
    sleep 1
    start_driver "$dir"
    sleep "$served_seconds"
    start=$(anonymous "$program")
    echo "start: $start KiB"
    last=$start
    # "held" stops the whole process, "busy" only the window's thread.
    for kind in held busy; do
        for stall in $(seq "$stalls"); do
            if [ "$kind" = held ]; then
                kill -STOP "$program"
                sleep "$stall_seconds"
                kill -CONT "$program"
            else
                echo "busy $((stall_seconds * 1000))" >&"${DRIVER[1]}"
                sleep "$stall_seconds"
            fi
            sleep "$served_seconds"
            now=$(anonymous "$program")
            echo "$kind $stall for ${stall_seconds} s: $now KiB ($((now - last)) KiB more)"
            last=$now
        done
    done
    first=$last
    for _ in $(seq $((minutes * 2))); do
        sleep 30
        last=$(anonymous "$program")
    done
    awk -v a="$first" -v b="$last" -v m="$minutes" 'BEGIN {
        printf "steady: %d KiB to %d KiB over %d min, %.1f KiB a minute\n", a, b, m, (b - a) / m }'
    exit 0
fi

build=${1:-build-bench}
minutes=${2:-10}
stalls=${3:-6}

bin=$(cd "$build/bin" && pwd)
for needed in upper-computer bench-open-bus bench-poll-floor bms-sim; do
    if [ ! -x "$bin/$needed" ]; then
        echo "$bin/$needed is missing: build the targets upper-computer bench-open-bus bench-poll-floor bms-sim" >&2
        exit 1
    fi
done

dir=$(user_folder "$bin")
xvfb-run -a -s "-screen 0 1920x1080x24" "$0" --inner "$dir" "$bin" "$minutes" "$stalls"
rm -rf "$dir"
