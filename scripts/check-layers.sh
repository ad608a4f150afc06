#!/usr/bin/env bash
# Checks the layers of the tree without a build: see check-layers.py, which ctest also runs
# (the test check_layers).
exec python3 "$(dirname "$0")/check-layers.py"
