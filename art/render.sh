#!/usr/bin/env bash
# Renders the SVG sources in art/ to the PNGs the program uses, each at its exact size:
#   art/icons/NAME.svg -> src/resource/Icon/NAME.png (compiled into the program)
#   art/imgs/NAME.svg  -> dist/imgs/NAME.png         (copied beside the executable)
# The build does not run this; run it after changing a drawing and commit the PNGs with it.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"

if ! command -v rsvg-convert >/dev/null 2>&1; then
    echo "rsvg-convert missing, installing librsvg2-bin"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq librsvg2-bin
fi

# source                 width height  destination folder
pictures="
icons/MainPage.svg          56  53  src/resource/Icon
icons/Lock.svg              44  51  src/resource/Icon
icons/general.svg           25  41  src/resource/Icon
icons/history.svg           41  34  src/resource/Icon
icons/settings.svg          40  39  src/resource/Icon
icons/SOC.svg              218  84  src/resource/Icon
icons/VOLTAGE.svg          218  84  src/resource/Icon
icons/CURRENT.svg          218  84  src/resource/Icon
icons/POWER.svg            218  84  src/resource/Icon
icons/Energym.svg          218  84  src/resource/Icon
icons/HEALTH.svg           218  84  src/resource/Icon
icons/zh/SOC.svg           218  84  src/resource/Icon/zh
icons/zh/VOLTAGE.svg       218  84  src/resource/Icon/zh
icons/zh/CURRENT.svg       218  84  src/resource/Icon/zh
icons/zh/POWER.svg         218  84  src/resource/Icon/zh
icons/zh/Energym.svg       218  84  src/resource/Icon/zh
icons/zh/HEALTH.svg        218  84  src/resource/Icon/zh
icons/relayon.svg          160 120  src/resource/Icon
icons/relayoff.svg         160 120  src/resource/Icon
icons/prechargeon.svg      160 120  src/resource/Icon
icons/prechargeoff.svg     160 120  src/resource/Icon
icons/RelayAlarm.svg        30  30  src/resource/Icon
icons/userlogin.svg        160 160  src/resource/Icon
icons/HisEvent.svg          57  60  src/resource/Icon
icons/RealTime.svg          70  74  src/resource/Icon
icons/HisData.svg           44  58  src/resource/Icon
icons/Trends.svg            52  51  src/resource/Icon
imgs/logo.svg              200  80  dist/imgs
imgs/batterypack.svg       260 330  dist/imgs
imgs/smallpack.svg         150 250  dist/imgs
"

# PNG width and height, read from the IHDR chunk.
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%d %d\n", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}

count=0
while read -r src w h dest; do
    [ -n "$src" ] || continue
    name="$(basename "$src" .svg)"
    mkdir -p "$root/$dest"
    out="$root/$dest/$name.png"
    rsvg-convert --width "$w" --height "$h" --format png --output "$out" "$here/$src"
    got="$(png_size "$out")"
    if [ "$got" != "$w $h" ]; then
        echo "render.sh: $out is $got, expected $w $h" >&2
        exit 1
    fi
    printf '%-36s %4s x %-4s\n' "$dest/$name.png" "$w" "$h"
    count=$((count + 1))
done <<< "$pictures"

# Every source must be listed above.
for svg in "$here"/icons/*.svg "$here"/imgs/*.svg; do
    rel="${svg#"$here"/}"
    if ! grep -q "^$rel " <<< "$pictures"; then
        echo "render.sh: $rel is not in the list" >&2
        exit 1
    fi
done
echo "$count pictures rendered"
