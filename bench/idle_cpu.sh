#!/usr/bin/env bash
# CPU the whole program takes with its window open under Xvfb, in three cases, and a floor:
#   closed:  the bus closed, as after start-up;
#   open:    the bus open, with bms-sim playing 28 batteries (--packs 0..27) on a virtual bus of
#            its own, named by canbus.ini beside the program;
#   trends:  as open, with the Trends window open on its Battery tab (compare it with open, in
#            one run: bench/idle_cpu.sh build-bench 30 open trends);
#   adapter: the bus open on the fake vendor library, into whose receive queue the same 28
#            batteries broadcast from a thread of the driver (AdapterTraffic), as an adapter's
#            driver buffers frames between two polls. Unlike the virtual bus, where every
#            arriving frame wakes the program's CAN thread, nothing but the poll does. The
#            figure leaves the AdapterTraffic thread out;
#   floor:   not the program but bench-poll-floor, a thread with an empty 5 ms timer: what the
#            poll costs on this machine before it does any work.
# The program runs as a user starts it: from a folder that a first run has already used
# (config.txt and logs.txt beside it, written by one start of the program before the measured
# one) and that holds a canbus.ini naming a virtual bus, with the window shown.
# Each case waits a while for the program to settle, then reads utime + stime of the process
# (every thread) from /proc/<pid>/stat over the measuring window and prints the share of one core,
# then that of each thread (from /proc/<pid>/task/*/stat) that took any, and how often a second
# the main (GUI) thread went to sleep and woke again (its context switches): a timer that keeps
# firing while nothing happens shows there first.
#
#   bench/idle_cpu.sh [build dir] [seconds] [closed|open|trends|adapter|floor ...]
#
# Use a Release build (default build-bench, as in the README). The program's folder is made by
# bench/userfolder.sh. The open and adapter cases use the open-bus driver
# (bench/openbusdriver.cpp): the program's own start-up and one click on OPEN CAN-BUS. Needs
# xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/userfolder.sh
. bench/userfolder.sh

settle=${SETTLE_SECONDS:-10}
# The batteries the simulator plays in the open case; PACKS=0 shows what the poll costs alone.
packs=${PACKS:-$(seq -s, 0 27)}

# Ticks of utime + stime of a process: fields 14 and 15 of /proc/<pid>/stat, counted after the
# command name, which may hold blanks.
ticks() {
    local stat
    stat=$(cat "/proc/$1/stat")
    stat=${stat##*) }
    # shellcheck disable=SC2086
    set -- $stat
    echo $((${12} + ${13}))
}

# Context switches of the main thread of a process: how often it slept and was woken, or was
# put aside.
switches() {
    awk '/^(non)?voluntary_ctxt_switches:/ { n += $2 } END { print n }' "/proc/$1/task/$1/status"
}

# Ticks of each thread of a process, one "name ticks" line per thread.
thread_ticks() {
    local task stat
    for task in /proc/"$1"/task/*; do
        stat=$(cat "$task/stat" 2>/dev/null) || continue
        local name=${stat#*(}
        name=${name%%)*}
        echo "${name// /_} $(ticks "${task#/proc/}")"
    done
}

# CPU of pid over the given seconds, as a percentage of one core with two decimals; with
# "threads" as third argument, followed by "; by thread:" and the share of each thread name that
# took any.
measure() {
    local pid=$1 seconds=$2 hz before after threads_before threads_after wakes_before
    hz=$(getconf CLK_TCK)
    before=$(ticks "$pid")
    [ "${3:-}" = threads ] && threads_before=$(thread_ticks "$pid") wakes_before=$(switches "$pid")
    sleep "$seconds"
    after=$(ticks "$pid")
    [ "${3:-}" = threads ] && threads_after=$(thread_ticks "$pid")
    awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
        'BEGIN { printf "%.2f", 100.0 * t / hz / s }'
    if [ "${3:-}" = threads ]; then
        awk -v w=$(($(switches "$pid") - wakes_before)) -v s="$seconds" \
            'BEGIN { printf "; main thread wakes %.1f/s", w / s }'
    fi
    if [ "${3:-}" = threads ]; then
        printf '%s\n--\n%s\n' "$threads_before" "$threads_after" | awk -v hz="$hz" -v s="$seconds" '
            $0 == "--" { after = 1; next }
            !after { start[$1] += $2; next }
            { stop[$1] += $2 }
            END {
                sep = "; by thread:"
                for (name in stop) {
                    share = 100.0 * (stop[name] - start[name]) / hz / s
                    if (share > 0) { printf "%s %s %.2f", sep, name, share; sep = "," }
                }
            }'
    fi
}

if [ "${1:-}" = "--inner" ]; then
    # Inside the X server.
    dir=$2 bin=$3 seconds=$4 kind=$5
    pids=()
    trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
    port=$((20000 + RANDOM % 10000))
    if [ "$kind" != floor ]; then
        use_folder "$dir" "$port"
    fi
    case $kind in
    closed)
        "$dir/upper-computer" >/dev/null 2>&1 &
        program=$!
        pids+=("$program")
        ;;
    floor)
        "$dir/bench-poll-floor" >/dev/null 2>&1 &
        program=$!
        pids+=("$program")
        ;;
    adapter)
        start_driver "$dir" --adapter-traffic
        ;;
    open | trends)
        "$bin/bms-sim" --interface "tcp://127.0.0.1:$port/can0" \
            --packs "$packs" >/dev/null 2>&1 &
        sim=$!
        pids+=("$sim")
        sleep 1
        if [ "$kind" = trends ]; then start_driver "$dir" --trends; else start_driver "$dir"; fi
        ;;
    esac
    sleep "$settle"
    cpu=$(measure "$program" "$seconds" threads)
    total=${cpu%%;*}
    if [ "$kind" = adapter ]; then
        traffic=$(echo "$cpu" | grep -o 'AdapterTraffic [0-9.]*' | cut -d' ' -f2)
        total=$(awk -v t="$total" -v a="${traffic:-0}" 'BEGIN { printf "%.2f", t - a }')
    fi
    line="$kind: $total % of one core over $seconds s"
    [ "$cpu" != "${cpu%%;*}" ] && line+=";${cpu#*;}"
    if [ "$kind" = open ] || [ "$kind" = trends ]; then
        line+="; bms-sim: $(measure "$sim" 5) %"
    fi
    echo "$line"
    exit 0
fi

build=${1:-build-bench}
seconds=${2:-30}
shift $(($# < 2 ? $# : 2))
kinds=("$@")
[ ${#kinds[@]} -eq 0 ] && kinds=(closed open trends adapter floor)

bin=$(cd "$build/bin" && pwd)
for needed in upper-computer bench-open-bus bench-poll-floor bms-sim; do
    if [ ! -x "$bin/$needed" ]; then
        echo "$bin/$needed is missing: build the targets upper-computer bench-open-bus bench-poll-floor bms-sim" >&2
        exit 1
    fi
done

for kind in "${kinds[@]}"; do
    dir=$(user_folder "$bin")
    [ "$kind" = adapter ] && cp "$build/bench/adapter/libControlCAN.so" "$dir/"
    xvfb-run -a -s "-screen 0 1920x1080x24" "$0" --inner "$dir" "$bin" "$seconds" "$kind"
    rm -rf "$dir"
done
