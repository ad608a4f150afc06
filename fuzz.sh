#!/usr/bin/env bash
# Runs every fuzz target for SECONDS seconds (default 60) with libFuzzer under AddressSanitizer
# and UndefinedBehaviorSanitizer, starting from its seed corpus in fuzz/corpus/<name>/. New
# inputs go to build-fuzz/corpus/<name>/; a crash is written to fuzz/crashes/ and stops that
# target. Prints the executions per target.
set -euo pipefail
cd "$(dirname "$0")"
seconds=${1:-60}

./scripts/install-deps.sh clang libclang-rt-14-dev

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUPPER_FUZZ=ON \
    -DUPPER_BUILD_TESTS=OFF -DUPPER_BUILD_BENCH=OFF >/dev/null
targets=$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
# shellcheck disable=SC2086
cmake --build "$build" -j "$(nproc)" --target $targets

mkdir -p fuzz/crashes
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
status=0
for target in $targets; do
    name=${target#fuzz_}
    mkdir -p "$build/corpus/$name"
    log="$build/$target.log"
    if "$build/fuzz/$target/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="fuzz/crashes/$name-" "$build/corpus/$name" "fuzz/corpus/$name" \
        >"$log" 2>&1; then
        result=ok
    else
        result="CRASH (see $log and fuzz/crashes/)"
        status=1
    fi
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    printf '%-24s %12s executions  %s\n' "$target" "$runs" "$result"
done
exit $status
