# shellcheck shell=bash
# Sourced by the benchmarks that run the program as a user starts it (idle_cpu.sh,
# open_bus_memory.sh): from a folder of its own that a first run has already used, with a
# canbus.ini naming a virtual bus, and the window shown under Xvfb.

# A new folder holding the program, the open-bus driver and the poll floor from the build's bin/,
# with setting/, imgs/ and firmware/ beside them, so the build folder is left as it was. Prints
# its path.
user_folder() {
    local bin=$1 dir
    dir=$(mktemp -d)
    cp "$bin/upper-computer" "$bin/bench-open-bus" "$bin/bench-poll-floor" "$dir/"
    cp -r "$bin/setting" "$bin/imgs" "$dir/"
    mkdir -p "$dir/firmware"
    echo "$dir"
}

# Inside the X server: makes the folder a user's after the first run. canbus.ini names the
# virtual bus on the given port, and the program is started once and ended as soon as it has
# written its config.txt.
use_folder() {
    local dir=$1 port=$2 first
    printf 'plugin=virtualcan\ninterface=tcp://127.0.0.1:%d/can0\n' "$port" >"$dir/canbus.ini"
    "$dir/upper-computer" >/dev/null 2>&1 &
    first=$!
    for _ in $(seq 300); do
        [ -f "$dir/config.txt" ] && break
        sleep 0.1
    done
    kill "$first" 2>/dev/null || true
    wait "$first" || true
    if [ ! -f "$dir/config.txt" ]; then
        echo "the first run wrote no config.txt" >&2
        return 1
    fi
}

# Inside the X server: the open-bus driver of the folder with the given arguments, once it has
# opened the bus; its process id in `program`, also appended to the array `pids`.
start_driver() {
    local dir=$1 answer
    shift
    coproc DRIVER { exec "$dir/bench-open-bus" "$@" 2>/dev/null; }
    program=$DRIVER_PID
    pids+=("$program")
    read -r -t 30 answer <&"${DRIVER[0]}" || answer=none
    if [ "$answer" != open ]; then
        echo "the bus did not open ($answer)" >&2
        return 1
    fi
}
