#!/usr/bin/env bash
# How the cost of `radozavu run` grows: scripts of 100, 1,000 and 10,000
# lines, each on machines holding 1,000 and 100,000 registry values beside
# what a new machine holds. Each run starts from a fresh copy of its machine;
# its floor is a run of an empty script on the same machine (loading the
# machine and nothing else). Prints each growth as a target line
# (bench/target_line.h) and the times behind them.
#   bench/host_growth.sh [--quick] [--runs N]   (N runs per figure, the median; 3)
# --quick: scripts of 10 and 100 lines on machines of 100 and 1,000 values.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
lines=(100 1000 10000)
values=(1000 100000)
runs=3
while [ $# -gt 0 ]; do
    case "$1" in
    --quick) lines=(10 100); values=(100 1000); runs=1 ;;
    --runs) runs=$2; shift ;;
    *) echo "usage: bench/host_growth.sh [--quick] [--runs N]" >&2; exit 2 ;;
    esac
    shift
done
prepare_host_bench host-growth radozavu_growth_target

# A script line of each kind an installer script has: a query, its
# expectation, a registry value set by the script (in keys of 100 values, as
# an installer's values spread over its keys: a call's report describes
# afresh each key changed since the call before), a call that reads the
# setup configuration.
script_of() {
    awk -v n="$1" 'BEGIN {
        print "write C:\\Setup\\QLNSETUP.INI <<END"
        print "[Configuration]"
        print "ValidateSettings=NO"
        print "END"
        for (i = 0; i < n; i += 4) {
            print "HKGetStringFromNumber 1907"
            print "expect result BJAH"
            printf "set-sz HKLM\\Software\\Bench\\Run\\Key%d Line%d \"value %d\"\n", i / 400, i, i
            print "GetValidateSettings C:\\Setup\\"
        }
    }' >"$work/run-$1.script"
}

# A machine holding that many values more than a new one, in keys of 100.
machine_of() {
    "$host" machine new "$work/machine-$1" >/dev/null
    awk -v n="$1" 'BEGIN {
        for (i = 0; i < n; ++i)
            printf "set-sz HKLM\\Software\\Bench\\Values\\Key%d Value%d data%d\n", i / 100, i, i
    }' >"$work/fill-$1.script"
    "$host" run --machine "$work/machine-$1" "$work/fill-$1.script" >/dev/null
}

# The median wall-clock seconds of a script's runs on fresh copies of a machine.
seconds_of() {
    local script=$1 machine=$2
    for _ in $(seq "$runs"); do
        rm -rf "$work/copy"
        cp -a "$machine" "$work/copy"
        local start end
        start=$(date +%s.%N)
        "$host" run --machine "$work/copy" "$script" >/dev/null
        end=$(date +%s.%N)
        echo "$start $end"
    done | awk '{ print $2 - $1 }' | median
}

print_machine
echo "radozavu run, wall-clock seconds (median of $runs):"
echo "# nothing" >"$work/empty.script"
declare -A cost floor
for count in "${values[@]}"; do
    machine_of "$count"
    floor[$count]=$(seconds_of "$work/empty.script" "$work/machine-$count")
    printf '  %-40s %10.3f s\n' "empty script, $count values (floor)" "${floor[$count]}"
    for n in "${lines[@]}"; do
        [ -f "$work/run-$n.script" ] || script_of "$n"
        cost[$n,$count]=$(seconds_of "$work/run-$n.script" "$work/machine-$count")
        printf '  %-40s %10.3f s\n' "$n lines, $count values" "${cost[$n,$count]}"
    done
done

# One growth's target line (bench/growth_target.cpp).
target() {
    build/optimised/radozavu_growth_target host "$@"
}
echo
echo "Targets (judged on the wall clock):"
for count in "${values[@]}"; do
    for i in $(seq 1 $((${#lines[@]} - 1))); do
        from=${lines[i - 1]} to=${lines[i]}
        target "growth radozavu run: $from to $to lines ($count values)" \
            "${cost[$from,$count]}" "${cost[$to,$count]}" "${floor[$count]}" "${floor[$count]}" \
            "$((to / from))"
    done
done
small=${values[0]} large=${values[1]}
for n in "${lines[@]}"; do
    target "growth radozavu run: $small to $large values ($n lines)" \
        "${cost[$n,$small]}" "${cost[$n,$large]}" "${floor[$small]}" "${floor[$large]}" \
        "$((large / small))"
done
