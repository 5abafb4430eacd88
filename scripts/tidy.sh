#!/usr/bin/env bash
# Runs clang-tidy with the checked-in .clang-tidy over every source of the
# Linux build (the library, the emulated machine, the conformance suite, the
# tests, the host and the fuzz targets), from the compile commands of the
# sanitize preset's clang build, on every processor. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset sanitize >/dev/null
# The conformance suite's entry includes the seam coverage the build works out.
cmake --build --preset sanitize --target seam_coverage >/dev/null
run-clang-tidy -p build/sanitize -j "$(nproc)" -quiet "$(pwd)/(src|emulator|conformance|tests|tools|fuzz)/" \
    >build/sanitize/clang-tidy.log 2>&1 || {
    grep -E "(error|warning):" build/sanitize/clang-tidy.log | sort -u | head -n 200
    echo "clang-tidy found problems (all of them in build/sanitize/clang-tidy.log)" >&2
    exit 1
}
echo "clang-tidy: no findings in $(grep -c '^clang-tidy' build/sanitize/clang-tidy.log || true) files"
