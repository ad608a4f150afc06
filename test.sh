#!/usr/bin/env bash
# Installs what is missing, checks that includes point down the layers and that every file is
# formatted, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test
# through ctest (the fuzz targets replay their corpora there). Exits non-zero on any failure.
# The benchmarks are built too, so that they keep compiling, but not run: their figures mean
# something only in a Release build.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
./scripts/check-layers.sh
./scripts/check-format.sh

build=build-test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DUPPER_SANITIZE=ON
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
