#!/usr/bin/env bash
# Formats the C and C++ sources with the checked-in .clang-format, or with
# --check only tells which files differ from it (and fails when any does).
#
#   scripts/format.sh           format every source in place
#   scripts/format.sh --check   what CI runs
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h')
if [ "${1:-}" = --check ]; then
    if ! report=$(clang-format --dry-run --Werror "${sources[@]}" 2>&1); then
        grep -oE "^[^:]+:[0-9]+:[0-9]+: error" <<<"$report" | cut -d: -f1 | sort -u |
            sed 's/^/not formatted: /' >&2
        echo "run scripts/format.sh to format them" >&2
        exit 1
    fi
    echo "clang-format: every source formatted"
else
    clang-format -i "${sources[@]}"
fi
