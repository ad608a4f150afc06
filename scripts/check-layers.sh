#!/usr/bin/env bash
# Fails when a source file includes from a layer above its own. The libraries of src/ are layered
#   log <- settings <- signals <- can <- records, upgrade <- ui <- app
# (records and upgrade side by side, neither using the other); resource/ is below them all.
# bmsctl/ is a program without widgets: it may use everything but ui/ and app/.
# Also fails when a library's CMakeLists.txt links other libraries of src/ than those of the
# folders its files include from.
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {
    case "$1" in
    resource) echo 0 ;; log) echo 1 ;; settings) echo 2 ;; signals) echo 3 ;; can) echo 4 ;;
    records | upgrade) echo 5 ;; ui) echo 6 ;; app) echo 7 ;; bmsctl) echo 6 ;; *) echo -1 ;;
    esac
}

status=0
check() {
    local file=$1 layer=$2 own used
    own=$(rank "$layer")
    while IFS= read -r used; do
        local theirs
        theirs=$(rank "$used")
        [ "$theirs" -lt 0 ] && continue
        if [ "$theirs" -gt "$own" ] || { [ "$theirs" -eq "$own" ] && [ "$used" != "$layer" ]; }; then
            echo "$file: includes from $used/, a layer above or beside $layer/"
            status=1
        fi
    done < <(grep -hoE '^#include "[a-z]+/' "$file" | sed -E 's/#include "([a-z]+)\//\1/' | sort -u)
}

for file in src/*/*.h src/*/*.cpp; do
    check "$file" "$(basename "$(dirname "$file")")"
done
for file in $(ls bmsctl/*.h bmsctl/*.cpp 2>/dev/null); do
    check "$file" bmsctl
done

# Each library of src/ links exactly the libraries of the folders its files include from: its
# CMakeLists.txt names them as upper_<folder> (the aggregate upper_lib is not one of them).
for dir in src/*/; do
    layer=$(basename "$dir")
    [ -f "$dir/CMakeLists.txt" ] || continue
    [ "$layer" = resource ] && continue
    used=$(cat "$dir"*.h "$dir"*.cpp 2>/dev/null | sed -nE 's/^#include "([a-z]+)\/.*/\1/p' \
        | awk -v own="$layer" '$0 != own' | sort -u | tr '\n' ' ')
    linked=$(sed -e 's/#.*//' "$dir/CMakeLists.txt" | grep -oE '\bupper_[a-z_]+\b' \
        | sed -E 's/^upper_//; s/_lib$//' \
        | awk -v own="$layer" '$0 != own && $0 != "lib" && $0 != "add_library" && $0 != "runtime_files"' \
        | sort -u | tr '\n' ' ')
    if [ "$used" != "$linked" ]; then
        echo "src/$layer/CMakeLists.txt links [${linked% }] but its includes use [${used% }]"
        status=1
    fi
done

[ $status -eq 0 ] && echo "layers: every include points down, every library links what it uses"
exit $status
