#!/usr/bin/env bash
# Runs clang-tidy with the checked-in .clang-tidy over every source of the
# Linux build (the library, the emulated machine, the conformance suite, the
# tests, the host and the fuzz targets), from the compile commands of the fuzz
# preset's clang build. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset fuzz >/dev/null
# The conformance suite's entry includes the seam coverage the build works out.
cmake --build --preset fuzz --target seam_coverage >/dev/null
run-clang-tidy -p build/fuzz -j "$(nproc)" -quiet "$(pwd)/(src|emulator|conformance|tests|tools|fuzz)/" \
    >build/fuzz/clang-tidy.log 2>&1 || {
    grep -E "(error|warning):" build/fuzz/clang-tidy.log | sort -u | head -n 200
    echo "clang-tidy found problems (all of them in build/fuzz/clang-tidy.log)" >&2
    exit 1
}
echo "clang-tidy: no findings"
