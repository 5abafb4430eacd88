#!/usr/bin/env bash
# The in-process benchmarks on the emulated Windows machine, each beside its
# floor, built optimised into build/bench; then, unless --no-wine is given,
# the Wine benchmarks of the real RADOZAVU.DLL (bench/wine.sh).
#   bench/run.sh [--no-wine] [Google Benchmark options]
# By default each case runs five times and the medians are shown.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
wine=yes
if [ "${1:-}" = "--no-wine" ]; then
    wine=no
    shift
fi
scripts/install-deps.sh
build_optimised radozavu_bench >/dev/null
print_machine
if [ $# -eq 0 ]; then
    set -- --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
fi
build/bench/radozavu_bench "$@"
if [ "$wine" = yes ]; then
    echo
    cmake --preset windows-x86 >/dev/null
    cmake --build --preset windows-x86 >/dev/null
    bench/wine.sh
fi
