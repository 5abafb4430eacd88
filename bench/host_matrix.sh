#!/usr/bin/env bash
# What running the editions side by side gains: the three examples on XP, 7,
# 10 and 11 with `radozavu run --windows` in one command, against each
# edition alone (a matrix of one, its machine made and its scripts run the
# same way). The target: the four take at most 1.2 times the slowest alone
# plus the others divided among the processors. Prints the target line
# (bench/target_line.h) and the times behind it.
#   bench/host_matrix.sh [--runs N]   (N runs per figure, the median; 5)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
runs=5
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs=$2; shift ;;
    *) echo "usage: bench/host_matrix.sh [--runs N]" >&2; exit 2 ;;
    esac
    shift
done
prepare_host_bench host-matrix
editions=(xp 7 10 11)
processors=$(nproc)

# The median wall-clock seconds of the examples on the editions (a comma
# list), each run in an editions folder of its own.
seconds_of() {
    for run in $(seq "$runs"); do
        local start end
        start=$(date +%s.%N)
        "$host" run --windows "$1" --with-product-running --editions "$work/$1-$run" \
            examples/install.script examples/upgrade.script examples/removal.script \
            >/dev/null 2>&1 || [ $? -eq 1 ] # the XP examples fail on later editions
        end=$(date +%s.%N)
        echo "$start $end"
    done | awk '{ print $2 - $1 }' | median
}

print_machine
echo "radozavu run --windows, the three examples, wall-clock seconds (median of $runs):"
alone=()
for edition in "${editions[@]}"; do
    alone+=("$(seconds_of "$edition")")
    printf '  %-40s %10.3f s\n' "$edition alone" "${alone[-1]}"
done
all=$(IFS=,; echo "${editions[*]}")
matrix=$(seconds_of "$all")
printf '  %-40s %10.3f s\n' "$all side by side" "$matrix"

echo
echo "Targets (judged on the wall clock):"
printf '%s\n' "${alone[@]}" | awk -v matrix="$matrix" -v cpus="$processors" -v all="$all" '
    { sum += $1; if ($1 > slowest) slowest = $1 }
    END {
        goal = 1.2 * (slowest + (sum - slowest) / cpus)
        printf "target | host (emulated machine) | radozavu run --windows %s, the examples (%d CPUs) | %.3f s | at most %.3f s (1.2 x (slowest alone %.3f s + the others %.3f s / %d)) | %s\n",
               all, cpus, matrix, goal, slowest, sum - slowest, cpus, matrix <= goal ? "met" : "MISSED"
    }'
