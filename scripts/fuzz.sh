#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (clang, the sanitize preset) and runs
# them, as many at once as there are processors.
# Fails on any crash, hang, leak or sanitizer report, and on a broken promise
# of a target.
#
#   scripts/fuzz.sh                    every target as CI runs it: its whole corpus
#                                      replayed, then a fixed number of runs from a
#                                      fixed seed, so a commit always gives the
#                                      same result
#   scripts/fuzz.sh -t 600             every target explored for ten minutes from a
#                                      random seed (not part of the test command)
#   scripts/fuzz.sh -t 3600 reg_file   one target for an hour
#   scripts/fuzz.sh -k DIR ...         keep the inputs found in DIR/<target>/
#
# New inputs go to a scratch folder (or DIR), never into fuzz/corpus; a
# failing input is written to build/sanitize/findings/ and named in the output.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=""
keep=""
while getopts "t:k:" option; do
    case $option in
    t) seconds=$OPTARG ;;
    k) keep=$OPTARG ;;
    *) echo "usage: scripts/fuzz.sh [-t SECONDS] [-k DIR] [TARGET ...]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))

cmake --preset sanitize >/dev/null
cmake --build --preset sanitize --target fuzz_targets

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    while read -r program; do
        targets+=("${program#build/sanitize/fuzz_}")
    done < <(find build/sanitize -maxdepth 1 -name 'fuzz_*' -type f -executable | sort)
fi

# The reproducible run's exploration after the corpus: runs per target, about
# 20 s each on a 2-core machine (docs/hardening.md). Inputs cost very
# different times, so the count is the target's own.
runs_for() {
    case $1 in
    number_encoding) echo 200000 ;;
    reg_file) echo 60000 ;;
    action_log | gzip_copy | setup_config) echo 15000 ;;
    profile) echo 12000 ;;
    paths) echo 8000 ;;
    provider_order) echo 5000 ;;
    *) echo 10000 ;;
    esac
}

findings=build/sanitize/findings
mkdir -p "$findings"
scratch=$(mktemp -d /tmp/radozavu-fuzz-run-XXXXXX)
# The targets' drive folders, in memory where there is a memory file system.
RADOZAVU_FUZZ_DRIVES=$(mktemp -d "$([ -d /dev/shm ] && echo /dev/shm || echo /tmp)/radozavu-fuzz-drives-XXXXXX")
export RADOZAVU_FUZZ_DRIVES
trap 'rm -rf "$scratch" "$RADOZAVU_FUZZ_DRIVES"' EXIT

# An input counts as a hang only when it also takes over the limit when
# replayed alone: a loaded machine or a slow disk is no finding.
hang_replays_in_time() {
    local program=$1 input=$2
    "$program" -timeout=60 -runs=1 "$input" >/dev/null 2>&1
}

# Fuzzes one target; its report goes to $scratch/<target>.report and its
# exit status tells whether it found a problem.
fuzz_target() {
    local target=$1 program=build/sanitize/fuzz_$1 work bound before new
    work=${keep:+$keep/$target}
    work=${work:-$scratch/$target}
    mkdir -p "$work"
    if [ -n "$seconds" ]; then
        echo "== fuzz $target (${seconds} s from a random seed)"
        bound=(-max_total_time="$seconds")
    else
        echo "== fuzz $target (corpus, then $(runs_for "$target") runs from seed 1)"
        bound=(-seed=1 -runs="$(( $(find "fuzz/corpus/$target" -type f | wc -l) + $(runs_for "$target") ))")
    fi
    # -timeout: one input may take at most 60 s; -rss_limit_mb: at most 2 GB;
    # leaks are reported by the address sanitizer at the end.
    before=$(find "$findings" -name "$target-*" | sort)
    if "$program" "${bound[@]}" -timeout=60 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" "$work" "fuzz/corpus/$target" \
        >"$scratch/$target.log" 2>&1; then
        grep -E "^stat::number_of_executed_units|^Done" "$scratch/$target.log" || true
        return 0
    fi
    new=$(comm -13 <(echo "$before") <(find "$findings" -name "$target-*" | sort))
    if [ -n "$new" ] && ! grep -qv -- "-timeout-" <<<"$new" && hang_replays_in_time "$program" "$new"; then
        echo "   $new timed out but replays in time: a loaded machine, not counted"
        rm -f "$new"
        return 0
    fi
    tail -n 60 "$scratch/$target.log"
    return 1
}

# The targets run side by side, one per processor; each is single-threaded
# and works in folders of its own. Their reports follow in the targets' order.
pids=()
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do
        wait -n || true
    done
    fuzz_target "$target" >"$scratch/$target.report" 2>&1 &
    pids+=($!)
done
failed=()
for i in "${!targets[@]}"; do
    status=0
    wait "${pids[$i]}" || status=$?
    cat "$scratch/${targets[$i]}.report"
    [ "$status" -eq 0 ] || failed+=("${targets[$i]}")
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing found problems in: ${failed[*]} (inputs in $findings)" >&2
    exit 1
fi
