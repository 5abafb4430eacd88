#!/usr/bin/env bash
# Times RADOZAVU.DLL under Wine beside a trivial mingw DLL: the first load in
# a fresh process (five processes per DLL, the median), with nothing else
# loaded and with the system DLLs an installer has loaded, then repeated
# loads and one getter call (bench/wine/wine_bench.cpp). Runs in a fresh
# 32-bit prefix of its own, removed after. Needs a built windows-x86 folder.
#   bench/wine.sh [--quick] [build folder, default build/windows-x86]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
quick=()
runs=5
if [ "${1:-}" = "--quick" ]; then
    quick=(--quick)
    runs=1
    shift
fi
build=$(realpath "${1:-build/windows-x86}")
program=$build/radozavu_wine_bench.exe
[ -f "$program" ] || { echo "no $program: build the windows-x86 preset first" >&2; exit 1; }

start_wine_prefix
work=$wine_work
# The programs and DLLs run from a folder of their own, so the getter
# benchmark's setup folder is made there and not in the build folder.
cp "$program" "$build/RADOZAVU.DLL" "$build/TRIVIAL.DLL" "$work/"

print_machine
wine --version
for system in "" --system-loaded; do
    if [ -z "$system" ]; then
        echo "First load in a fresh process that has loaded nothing else (median of $runs):"
    else
        echo "First load in a fresh process with the installer's system DLLs loaded (median of $runs):"
    fi
    for dll in TRIVIAL.DLL RADOZAVU.DLL; do
        load=$(for _ in $(seq "$runs"); do
            wine "$work/radozavu_wine_bench.exe" first-load "$dll" $system | tr -d '\r' |
                sed -n 's/^first load of .*: \([0-9.]*\) us$/\1/p'
        done | median)
        [ -n "$load" ] || { echo "  $dll could not be loaded"; exit 1; }
        printf "  %-44s %12.3f us\n" "$dll" "$load"
    done
done
wine "$work/radozavu_wine_bench.exe" "${quick[@]}" | tr -d '\r'
