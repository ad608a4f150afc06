# What the benchmark scripts that run bmsctl against bms-sim share, sourced after `cd` to the
# checkout: the build's programs, a scratch folder and the processes started, cleaned up on exit,
# free ports and the CPU and memory of a process from /proc.

# Sets bin to the build's bin folder, failing unless bmsctl and bms-sim are built there.
require_programs() { # build dir
    bin=$(cd "$1/bin" && pwd)
    local needed
    for needed in bmsctl bms-sim; do
        [ -x "$bin/$needed" ] || { echo "$bin/$needed is missing: build bmsctl and bms-sim" >&2; exit 1; }
    done
}

# A scratch folder ($dir) and the processes started ($pids), both gone when the script exits.
dir=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT

# A port below 32768 that nothing listens on.
free_port() {
    local port
    while :; do
        port=$((20000 + RANDOM % 12000))
        ss -ltn "sport = :$port" | grep -q LISTEN || { echo "$port"; return; }
    done
}

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

# Resident memory of a process, KiB.
rss_kib() {
    awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"
}
