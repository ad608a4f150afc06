#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and
# runs every test through ctest. Exits non-zero on any failure. The benchmarks are built too, so
# that they keep compiling, but not run: their figures mean something only in a Release build.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

build=build-test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DUPPER_SANITIZE=ON
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
