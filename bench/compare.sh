#!/usr/bin/env bash
# The library's gzip copies against the gzip program on the same files (1 MiB
# of text, 64 MiB mixed, 64 MiB incompressible, generated afresh into
# build/optimised/gzip-data) at levels 1, 6 and 9: throughput, their ratio and
# the output sizes (bench/gzip_compare.cpp). With --wine the real RADOZAVU.DLL
# makes the same copies under Wine too, in a prefix of its own.
#   bench/compare.sh [--wine] [--runs N]   (N runs per measurement, the median; 3)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
wine=()
if [ "${1:-}" = "--wine" ]; then
    shift
    build_windows
    start_wine_prefix
    wine=(--wine "$PWD/build/windows-x86/radozavu_wine_bench.exe")
fi
scripts/install-deps.sh
build_optimised radozavu_gzip_compare >/dev/null
print_machine
gzip --version | head -1
build/optimised/radozavu_gzip_compare "${wine[@]}" "$@" build/optimised/gzip-data
