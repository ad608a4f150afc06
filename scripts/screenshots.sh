#!/usr/bin/env bash
# Screenshots of pages of the main window with live data from bms-sim, under Xvfb. The page-shots
# driver (tests/screens) selects each page in the main window's page stack, also those the
# navigation bar hides.
#
#   scripts/screenshots.sh [build dir] [output folder] [--chinese] [page ...]
#
# Pages: home, history-events, realtime-recording, history-data, manufacturing, trends-battery,
# trends-bank, bank-line, trends-bank-faults (default: all). The trends pages show the Trends
# window with a bank of 28 batteries. The last two show a bank with faults: battery 03 in
# protection (--force) and battery 05 played by a second simulator on the same bus that falls
# silent; bank-line is the top bar with battery 01 selected, trends-bank-faults the Bank tab.
#
# Needs xvfb-run and ImageMagick's import. The simulator runs on a virtual bus of its own; the
# driver finds it through canbus.ini beside it, which is put back as it was afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--inner" ]; then
    # Inside the X server: simulator, driver, wait for "ready", grab the screen.
    bin=$2 page=$3 shot=$4 language=${5:-}
    packs=1,2,3,12
    # The window opens at its full size in the screen's corner (no window manager).
    crop=1641x973+0+0
    case $page in
    trends-*)
        packs=$(seq -s, 0 27)
        crop=1500x940+0+0
        ;;
    esac
    faults=()
    case $page in
    bank-line | trends-bank-faults)
        packs=1,2,3,12,17
        faults=(--force 16=2 --fault-packs 3)
        [ "$page" = bank-line ] && crop=1641x98+0+0
        ;;
    esac
    "$bin/bms-sim" --packs "$packs" --seed 7 --history-events 48 "${faults[@]}" >/dev/null &
    sim=$!
    silent=""
    if [ ${#faults[@]} -gt 0 ]; then
        sleep 1
        "$bin/bms-sim" --packs 5 --seed 7 --silent-after 6 >/dev/null &
        silent=$!
    fi
    trap 'kill $sim $silent 2>/dev/null || true' EXIT
    sleep 1
    coproc DRIVER { "$bin/page-shots" "$page" $language 2>/dev/null; }
    if ! timeout 150 grep -m1 -q ready <&"${DRIVER[0]}"; then
        echo "page-shots did not get ready for $page" >&2
        exit 1
    fi
    sleep 1
    import -window root -crop "$crop" +repage "$shot"
    kill "$DRIVER_PID" 2>/dev/null || true
    exit 0
fi

# ImageMagick's import grabs the screen; only this script needs it.
./scripts/install-deps.sh imagemagick

build=${1:-build}
out=${2:-docs/screenshots}
shift $(($# < 2 ? $# : 2))
language=""
if [ "${1:-}" = "--chinese" ]; then
    language=--chinese
    shift
fi
pages=("$@")
[ ${#pages[@]} -eq 0 ] && pages=(home history-events realtime-recording history-data manufacturing
    trends-battery trends-bank bank-line trends-bank-faults)
bin=$(cd "$build/bin" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)

ini="$bin/canbus.ini"
saved=""
if [ -f "$ini" ]; then
    saved=$(mktemp)
    cp "$ini" "$saved"
fi
restore() {
    if [ -n "$saved" ]; then mv "$saved" "$ini"; else rm -f "$ini"; fi
}
trap restore EXIT
port=$((20000 + RANDOM % 10000))
printf 'plugin=virtualcan\ninterface=tcp://127.0.0.1:%d/can0\n' "$port" >"$ini"

suffix=""
[ -n "$language" ] && suffix="-chinese"
for page in "${pages[@]}"; do
    xvfb-run -a -s "-screen 0 1920x1080x24" "$0" --inner "$bin" "$page" \
        "$out/$page$suffix.png" "$language"
    echo "$out/$page$suffix.png"
done
