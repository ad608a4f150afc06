#!/usr/bin/env bash
# bmsctl mqtt with 28 batteries (bms-sim --packs 0,...,27 on a virtual bus of its own) publishing
# to a Mosquitto broker of its own on 127.0.0.1, in four cases:
#   watch:   not the gateway but `bmsctl watch` on the same bus, printing to /dev/null: what
#            listening to 28 batteries costs any bmsctl command before it publishes anything;
#   default: the default state message, once a second per battery: the state messages
#            mosquitto_sub received against 28 a second, and the gateway's CPU;
#   all:     the same with --all-signals (every catalogue signal in every state message);
#   outage:  the default gateway while the broker is stopped for OUTAGE_SECONDS (60): its
#            resident memory every 5 s, then whether it connects again and publishes.
# CPU is utime + stime of the process (every thread) from /proc/<pid>/stat over the measuring
# window, as a share of one core; memory is VmRSS from /proc/<pid>/status.
#
#   bench/mqtt_gateway.sh [build dir] [seconds] [watch|default|all|outage ...]
#
# Use a Release build (default build-bench, as in the README) with bmsctl and bms-sim built.
# Needs mosquitto and mosquitto-clients (scripts/install-deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
seconds=${2:-30}
shift $(($# < 2 ? $# : 2))
cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=(watch default all outage)
settle=${SETTLE_SECONDS:-8}
outage=${OUTAGE_SECONDS:-60}
batteries=28

# shellcheck source=bench/processlib.sh
. bench/processlib.sh
require_programs "$build"

broker_port=$(free_port)
printf 'user %s\npersistence false\nlistener %d 127.0.0.1\nallow_anonymous true\n' \
    "$(id -un)" "$broker_port" >"$dir/mosquitto.conf"
start_broker() {
    /usr/sbin/mosquitto -c "$dir/mosquitto.conf" >>"$dir/broker.log" 2>&1 &
    broker=$!
    pids+=("$broker")
    sleep 0.5
}
start_broker

bus_port=$(free_port)
"$bin/bms-sim" --interface "tcp://127.0.0.1:$bus_port/can0" \
    --packs "$(seq -s, 0 $((batteries - 1)))" >/dev/null 2>&1 &
pids+=("$!")
sleep 1
bus="virtualcan:tcp://127.0.0.1:$bus_port/can0"
hz=$(getconf CLK_TCK)

for kind in "${cases[@]}"; do
    case $kind in
    watch) "$bin/bmsctl" watch --bus "$bus" >/dev/null 2>"$dir/$kind.err" & ;;
    default) "$bin/bmsctl" mqtt --bus "$bus" --broker "mqtt://127.0.0.1:$broker_port" \
        --site bench 2>"$dir/$kind.err" & ;;
    all) "$bin/bmsctl" mqtt --bus "$bus" --broker "mqtt://127.0.0.1:$broker_port" \
        --site bench --all-signals 2>"$dir/$kind.err" & ;;
    outage) "$bin/bmsctl" mqtt --bus "$bus" --broker "mqtt://127.0.0.1:$broker_port" \
        --site bench --retry-max 5 2>"$dir/$kind.err" & ;;
    *) echo "unknown case $kind" >&2; exit 2 ;;
    esac
    program=$!
    pids+=("$program")
    sleep "$settle"

    if [ "$kind" = outage ]; then
        kill "$broker"
        wait "$broker" 2>/dev/null || true
        samples=()
        for ((t = 0; t <= outage; t += 5)); do
            samples+=("$(rss_kib "$program")")
            [ $t -lt "$outage" ] && sleep 5
        done
        start_broker
        delivered=$(timeout 10 mosquitto_sub -p "$broker_port" -t 'bms/bench/+/state' -C 28 \
            2>/dev/null | wc -l)
        printf '%s\n' "${samples[@]}" | awk -v s="$outage" -v d="$delivered" '
            NR == 1 { first = $1; min = $1; max = $1 }
            { min = $1 < min ? $1 : min; max = $1 > max ? $1 : max; last = $1 }
            END { printf "outage: broker away %d s: RSS %.1f MiB at the start, %.1f to %.1f MiB " \
                  "during it, %.1f MiB at the end (%+.2f MiB); after it, %d of 28 state messages " \
                  "within 10 s\n", s, first / 1024, min / 1024, max / 1024, last / 1024,
                  (last - first) / 1024, d }'
        grep -E "lost|again" "$dir/$kind.err" | sed 's/^/    /'
    else
        count_file="$dir/$kind.count"
        if [ "$kind" != watch ]; then
            timeout "$seconds" mosquitto_sub -p "$broker_port" -t 'bms/bench/+/state' \
                >"$count_file" 2>/dev/null &
            sub=$!
        fi
        before=$(ticks "$program")
        sleep "$seconds"
        after=$(ticks "$program")
        line=$(awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
            'BEGIN { printf "%.2f %% of one core", 100.0 * t / hz / s }')
        if [ "$kind" != watch ]; then
            wait "$sub" 2>/dev/null || true
            received=$(wc -l <"$count_file")
            line+=$(awk -v r="$received" -v s="$seconds" -v n="$batteries" \
                'BEGIN { printf "; %d state messages in %d s: %.1f/s of %d/s expected (%.1f %%)",
                         r, s, r / s, n, 100.0 * r / (n * s) }')
        fi
        echo "$kind: $line; RSS $(($(rss_kib "$program") / 1024)) MiB"
    fi
    kill -TERM "$program"
    wait "$program" 2>/dev/null || true
done
