#!/usr/bin/env bash
# Fails when a C++ file of the project differs from what .clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h')
# shellcheck disable=SC2086
if ! clang-format --dry-run --Werror $files 2>/tmp/clang-format-check.$$; then
    grep -E '^[^ ].*(warning|error):' /tmp/clang-format-check.$$ | cut -d: -f1 | sort -u \
        | sed 's/$/: not formatted (run clang-format -i on it)/'
    rm -f /tmp/clang-format-check.$$
    exit 1
fi
rm -f /tmp/clang-format-check.$$
echo "format: every file as .clang-format has it"
