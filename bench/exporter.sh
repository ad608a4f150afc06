#!/usr/bin/env bash
# bmsctl exporter with 28 batteries (bms-sim --packs 0,...,27 on a virtual bus of its own),
# scraped every second by a Prometheus server of its own on 127.0.0.1:
#   cpu:     the exporter's CPU over SECONDS (60) while Prometheus scrapes it, beside that of
#            `bmsctl watch` on the same bus (what listening to 28 batteries costs alone);
#   scrape:  the size of one scrape, its series, and the time to serve it: SCRAPES (200) scrapes
#            by curl one after the other, mean, median and worst;
#   memory:  the exporter's resident memory every minute over MEMORY_SECONDS (3600) of scrapes.
# CPU is utime + stime of the process (every thread) from /proc/<pid>/stat, as a share of one
# core; memory is VmRSS from /proc/<pid>/status.
#
#   bench/exporter.sh [build dir] [cpu|scrape|memory ...]
#
# Use a Release build (default build-bench, as in the README) with bmsctl and bms-sim built.
# Needs prometheus and curl (scripts/install-deps.sh installs prometheus).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
shift $(($# < 1 ? $# : 1))
cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=(cpu scrape memory)
seconds=${SECONDS_MEASURED:-60}
scrapes=${SCRAPES:-200}
memory_seconds=${MEMORY_SECONDS:-3600}
settle=${SETTLE_SECONDS:-8}
batteries=28

# shellcheck source=bench/processlib.sh
. bench/processlib.sh
require_programs "$build"
hz=$(getconf CLK_TCK)
cpu_share() { # pid seconds
    local before after
    before=$(ticks "$1")
    sleep "$2"
    after=$(ticks "$1")
    awk -v t=$((after - before)) -v hz="$hz" -v s="$2" 'BEGIN { printf "%.2f", 100.0 * t / hz / s }'
}

bus_port=$(free_port)
"$bin/bms-sim" --interface "tcp://127.0.0.1:$bus_port/can0" \
    --packs "$(seq -s, 0 $((batteries - 1)))" >/dev/null 2>&1 &
pids+=("$!")
sleep 1
bus="virtualcan:tcp://127.0.0.1:$bus_port/can0"

exporter_port=$(free_port)
"$bin/bmsctl" exporter --bus "$bus" --site bench --listen "127.0.0.1:$exporter_port" \
    2>"$dir/exporter.err" &
exporter=$!
pids+=("$exporter")
metrics="http://127.0.0.1:$exporter_port/metrics"

prometheus_port=$(free_port)
printf 'global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: bms\n    static_configs:\n      - targets: ["127.0.0.1:%d"]\n' \
    "$exporter_port" >"$dir/prometheus.yml"
prometheus --config.file="$dir/prometheus.yml" --storage.tsdb.path="$dir/data" \
    --web.listen-address="127.0.0.1:$prometheus_port" >"$dir/prometheus.log" 2>&1 &
pids+=("$!")
sleep "$settle"

for kind in "${cases[@]}"; do
    case $kind in
    cpu)
        "$bin/bmsctl" watch --bus "$bus" >/dev/null 2>&1 &
        watch=$!
        pids+=("$watch")
        sleep "$settle"
        watch_share=$(cpu_share "$watch" "$seconds")
        kill "$watch"
        wait "$watch" 2>/dev/null || true
        echo "cpu: exporter $(cpu_share "$exporter" "$seconds") % of one core over $seconds s" \
            "with Prometheus scraping every second; bmsctl watch on the same bus $watch_share %"
        ;;
    scrape)
        curl -s "$metrics" >"$dir/one.txt"
        series=$(grep -vc '^#' "$dir/one.txt")
        bms=$(grep -c '^bms_' "$dir/one.txt")
        for ((i = 0; i < scrapes; ++i)); do
            curl -s -o /dev/null -w '%{time_total}\n' "$metrics"
        done | sort -n | awk -v b="$(wc -c <"$dir/one.txt")" -v s="$series" -v m="$bms" '
            { t[NR] = $1 * 1000; sum += t[NR] }
            END { printf "scrape: %d bytes, %d series (%d of the bank); served in %.2f ms " \
                  "mean, %.2f ms median, %.2f ms worst of %d\n", b, s, m, sum / NR,
                  t[int((NR + 1) / 2)], t[NR], NR }'
        ;;
    memory)
        samples=()
        for ((t = 0; t <= memory_seconds; t += 60)); do
            samples+=("$(rss_kib "$exporter")")
            [ $t -lt "$memory_seconds" ] && sleep 60
        done
        printf '%s\n' "${samples[@]}" | awk -v s="$memory_seconds" '
            NR == 1 { first = $1; min = $1; max = $1 }
            { min = $1 < min ? $1 : min; max = $1 > max ? $1 : max; last = $1 }
            END { printf "memory: %d s of scrapes: RSS %.1f MiB at the start, %.1f to %.1f MiB, " \
                  "%.1f MiB at the end (%+.2f MiB)\n", s, first / 1024, min / 1024, max / 1024,
                  last / 1024, (last - first) / 1024 }'
        ;;
    *) echo "unknown case $kind" >&2; exit 2 ;;
    esac
done
