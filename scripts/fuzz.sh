#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (clang, the fuzz preset) and runs
# each for a bounded time from its seed corpus. Fails on any crash, hang,
# leak or sanitizer report, and on a broken promise of a target.
#
#   scripts/fuzz.sh                    every target, 20 s each (as CI runs them)
#   scripts/fuzz.sh -t 3600 reg_file   one target for an hour
#   scripts/fuzz.sh -k DIR ...         keep the inputs found in DIR/<target>/
#
# New inputs go to a scratch folder (or DIR), never into fuzz/corpus; a
# failing input is written to build/fuzz/findings/ and named in the output.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=20
keep=""
while getopts "t:k:" option; do
    case $option in
    t) seconds=$OPTARG ;;
    k) keep=$OPTARG ;;
    *) echo "usage: scripts/fuzz.sh [-t SECONDS] [-k DIR] [TARGET ...]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(profile reg_file provider_order action_log number_encoding paths gzip_copy
             setup_config)
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

findings=build/fuzz/findings
mkdir -p "$findings"
scratch=$(mktemp -d /tmp/radozavu-fuzz-run-XXXXXX)
# The targets' drive folders, in memory where there is a memory file system.
RADOZAVU_FUZZ_DRIVES=$(mktemp -d "$([ -d /dev/shm ] && echo /dev/shm || echo /tmp)/radozavu-fuzz-drives-XXXXXX")
export RADOZAVU_FUZZ_DRIVES
trap 'rm -rf "$scratch" "$RADOZAVU_FUZZ_DRIVES"' EXIT
failed=()
for target in "${targets[@]}"; do
    work=${keep:+$keep/$target}
    work=${work:-$scratch/$target}
    mkdir -p "$work"
    echo "== fuzz $target (${seconds} s)"
    # -timeout: one input may take at most 10 s (a hang); -rss_limit_mb: at
    # most 2 GB; leaks are reported by the address sanitizer at the end.
    if ! build/fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/$target-" \
        "$work" "fuzz/corpus/$target" >"$scratch/$target.log" 2>&1; then
        tail -n 60 "$scratch/$target.log"
        failed+=("$target")
    else
        grep -E "^stat::number_of_executed_units|^Done" "$scratch/$target.log" || true
    fi
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing found problems in: ${failed[*]} (inputs in $findings)" >&2
    exit 1
fi
