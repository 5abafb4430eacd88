#!/usr/bin/env bash
# The host on machines the size of a real one: a Windows 11 x64 machine given
# 10,000, 100,000 and 1,000,000 registry values more (brought in by machine
# import of a "Version 5.00" UTF-16 export, 5 values a key) and 1,000, 10,000
# and 100,000 files on C: (4 KiB each, sparse, 100 a folder), with a 600 MiB file on
# D: that no call reads. On each, beside the same work on a fresh machine in
# the same run: a query call, a script that writes one value, a 1,000-line
# run; and the import itself. Wall-clock seconds (median of --runs) and peak
# memory (the largest resident set of the runs); prints the targets as
# target lines (bench/target_line.h).
#   bench/big_machine.sh [--quick] [--runs N]   (N runs per figure; 5)
# --quick: machines of 1,000 and 10,000 values and 100 and 1,000 files.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
values=(10000 100000 1000000)
files=(1000 10000 100000)
runs=5
while [ $# -gt 0 ]; do
    case "$1" in
    --quick) values=(1000 10000); files=(100 1000); runs=1 ;;
    --runs) runs=$2; shift ;;
    *) echo "usage: bench/big_machine.sh [--quick] [--runs N]" >&2; exit 2 ;;
    esac
    shift
done
prepare_host_bench big-machine

# A registry export of that many values as the registry editor writes it.
export_of() {
    awk -v n="$1" 'BEGIN {
        printf "Windows Registry Editor Version 5.00\r\n"
        for (i = 0; i < n; ++i) {
            if (i % 5 == 0)
                printf "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Customer\\Group%d\\Key%d]\r\n", i / 5000, i / 5
            if (i % 2 == 0)
                printf "\"Value%d\"=\"text of value %d, as long as a path or a name is\"\r\n", i, i
            else
                printf "\"Value%d\"=dword:%08x\r\n", i, i
        }
    }' | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$work/export-$1.reg"
}

# Files on C:, 4 KiB each (sparse), 100 a folder, and a large file on D:.
fill_drives() {
    local machine=$1 count=$2 folder=$1/drives/C/Windows/WinSxS
    for ((i = 0; i * 100 < count; ++i)); do
        echo "$folder/bench$i"
    done | xargs mkdir -p
    for ((i = 0; i < count; ++i)); do
        echo "$folder/bench$((i / 100))/f$i.dll"
    done | xargs truncate -s 4096
    truncate -s 600M "$machine/drives/D/large.bin"
}

# The 1,000-line script: a query, its expectation, a value set, a call that
# reads the setup configuration (as bench/host_growth.sh).
awk 'BEGIN {
    print "write C:\\Setup\\QLNSETUP.INI <<END"; print "[Configuration]"; print "ValidateSettings=NO"; print "END"
    for (i = 0; i < 1000; i += 4) {
        print "HKGetStringFromNumber 1907"; print "expect result BJAH"
        printf "set-sz HKLM\\Software\\Bench\\Run\\Key%d Line%d \"value %d\"\n", i / 400, i, i
        print "GetValidateSettings C:\\Setup\\"
    }
}' >"$work/run-1000.script"
printf 'wait 1000\nHKUpdateSetupDateInRegistryEX\n' >"$work/write.script"

# Runs a command runs times: prints the median wall-clock seconds and the
# largest resident set in MiB.
measure() {
    for _ in $(seq "$runs"); do
        local start end
        start=$(date +%s.%N)
        /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null
        end=$(date +%s.%N)
        echo "$start $end $(cat "$work/rss")"
    done | awk '{ printf "%.4f %d\n", $2 - $1, $3 }' >"$work/measured"
    printf '%.4f %.1f\n' "$(cut -d' ' -f1 "$work/measured" | median)" \
        "$(sort -g -k2 "$work/measured" | tail -1 | awk '{ print $2 / 1024 }')"
}

print_machine
"$host" machine new "$work/fresh" --windows 11 >/dev/null
declare -A seconds memory
record() { # name, then the command
    local name=$1
    shift
    read -r "seconds[$name]" "memory[$name]" < <(measure "$@")
    printf '  %-48s %9.3f s %8.1f MiB\n' "$name" "${seconds[$name]}" "${memory[$name]}"
}
echo "wall-clock seconds (median of $runs) and peak memory:"
for size in "${!values[@]}"; do
    v=${values[size]} f=${files[size]}
    machine=$work/machine-$v
    "$host" machine new "$machine" --windows 11 >/dev/null
    export_of "$v"
    runs_before=$runs runs=1
    record "import $v values" "$host" machine import "$machine" "$work/export-$v.reg"
    runs=$runs_before
    fill_drives "$machine" "$f"
    for kind in fresh big; do
        folder=$machine
        [ $kind = big ] || folder=$work/fresh
        record "$kind query ($v values)" "$host" call --machine "$folder" HKIsWindowsXP
        record "$kind write ($v values)" "$host" run --machine "$folder" "$work/write.script"
        record "$kind run 1,000 lines ($v values)" "$host" run --machine "$folder" "$work/run-1000.script"
    done
done

target_of() { # what, figure, goal, met (0 or 1)
    printf 'target | host | %s | %s | %s | %s\n' "$1" "$2" "$3" "$([ "$4" -eq 1 ] && echo met || echo MISSED)"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
within() { awk -v a="$1" -v b="$2" 'BEGIN { print (a <= b) ? 1 : 0 }'; }
echo
echo "Targets (judged on the wall clock):"
for size in "${!values[@]}"; do
    v=${values[size]} f=${files[size]}
    for case in "query:2" "write:3" "run 1,000 lines:1.5"; do
        name=${case%:*} goal=${case##*:}
        x=$(ratio "${seconds[big $name ($v values)]}" "${seconds[fresh $name ($v values)]}")
        target_of "$name on $v values, $f files, x fresh" "${x}x" "at most ${goal}x" "$(within "$x" "$goal")"
    done
    target_of "query on $v values, $f files: peak memory" "${memory[big query ($v values)]} MiB" \
        "at most 64 MiB" "$(within "${memory[big query ($v values)]}" 64)"
done
largest=${values[-1]}
target_of "machine import of $largest values (UTF-16)" "${seconds[import $largest values]} s" \
    "at most 20 s" "$(within "${seconds[import $largest values]}" 20)"
