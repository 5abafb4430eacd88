#!/usr/bin/env bash
# The in-process benchmarks on the emulated Windows machine, each beside its
# floor, built optimised into build/optimised; then, unless --no-wine is given,
# the Wine benchmarks of the real RADOZAVU.DLL (bench/wine.sh).
#   bench/run.sh [--no-wine] [Google Benchmark options]
# By default each case runs five times and the medians are shown.
#
#   bench/run.sh --check
# Runs every benchmark that has a target: the in-process cases and their
# growth families, the Wine benchmarks, the gzip comparison on the emulated
# machine and under Wine, the growth of `radozavu run` (bench/host_growth.sh)
# and the host on machines the size of a real one (bench/big_machine.sh); keeps their whole output in build/optimised/check.log;
# prints one table of every target, met or missed with its figures; and exits
# non-zero when a target is missed or a benchmark fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
wine=yes
case "${1:-}" in
--no-wine)
    wine=no
    shift
    ;;
--check)
    [ $# -eq 1 ] || { echo "usage: bench/run.sh --check" >&2; exit 2; }
    scripts/install-deps.sh
    mkdir -p build/optimised
    log=build/optimised/check.log
    : >"$log"
    failed=()
    for step in "bench/run.sh" "bench/compare.sh --wine" "bench/host_growth.sh" \
        "bench/host_matrix.sh" "bench/big_machine.sh"; do
        echo "== $step" | tee -a "$log"
        # shellcheck disable=SC2086 # the steps are split into their words
        if ! $step >>"$log" 2>&1; then
            failed+=("$step")
        fi
    done
    echo
    echo "Every target (figures and floors in $log):"
    grep '^target |' "$log" | cut -d'|' -f2- | awk -F' [|] ' '
        { for (i = 1; i <= NF; ++i) { cell[NR, i] = $i; if (length($i) > width[i]) width[i] = length($i) } }
        END { for (r = 1; r <= NR; ++r) {
                  line = ""
                  for (i = 1; i <= 5; ++i) line = line sprintf("%-*s  ", width[i], cell[r, i])
                  sub(/ +$/, "", line); print line } }'
    missed=$(grep -c '^target |.*| \(MISSED\|not run\)$' "$log" || true)
    total=$(grep -c '^target |' "$log" || true)
    echo
    echo "$((total - missed)) of $total targets met."
    for step in "${failed[@]}"; do
        echo "failed: $step (see $log)"
    done
    [ "$missed" -eq 0 ] && [ ${#failed[@]} -eq 0 ]
    exit
    ;;
esac
scripts/install-deps.sh
build_optimised radozavu_bench >/dev/null
print_machine
if [ $# -eq 0 ]; then
    set -- --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
fi
build/optimised/radozavu_bench "$@"
if [ "$wine" = yes ]; then
    echo
    build_windows
    bench/wine.sh
fi
