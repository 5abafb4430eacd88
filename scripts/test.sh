#!/usr/bin/env bash
# Builds both platforms and runs every test: the emulated-machine suites on
# Linux, the real RADOZAVU.DLL under Wine, and the hardening checks (the Linux
# suite under the address, undefined-behaviour and leak sanitizers,
# reproducible fuzz runs of every parser and text editor, clang-tidy,
# clang-format), then builds the release's files again in a second folder
# and compares them byte for byte. Exits non-zero on any failure.
#
# The stages run one after another, but for the Wine tests: they mostly wait
# on Wine, so they run in the background beside the later stages, with their
# output shown at the end. Every stage prints its time, and a
# table of all of them ends the run (docs/test-command.md).
set -euo pipefail
cd "$(dirname "$0")/.."

started=$SECONDS
stage_names=()
stage_results=()
background_pid=""
background_log=""

record() { # name seconds result
    stage_names+=("$1")
    stage_results+=("$(printf '%6d s  %s' "$2" "$3")")
    echo "-- $1: $3 in $2 s"
}

# Runs one stage in the foreground; a failure ends the run.
stage() {
    local name=$1 begin=$SECONDS
    shift
    echo "== $name"
    if "$@"; then
        record "$name" $((SECONDS - begin)) passed
    else
        record "$name" $((SECONDS - begin)) FAILED
        exit 1
    fi
}

# Starts one stage in the background, in a process group of its own, its
# output kept in a log until it ends and its own time in a file beside.
background_name=""
background_begin=0
start_background() {
    background_name=$1
    background_begin=$SECONDS
    shift
    background_log=$(mktemp /tmp/radozavu-test-stage-XXXXXX)
    echo "== $background_name (in the background)"
    setsid bash -c 'begin=$SECONDS; status=0; "${@:2}" || status=$?
                    echo $((SECONDS - begin)) >"$1.seconds"; exit $status' \
        timed "$background_log" "$@" >"$background_log" 2>&1 &
    background_pid=$!
}

# Waits for the background stage, shows its output and records its result;
# with "stop" it ends the stage first (a foreground stage failed).
finish_background() {
    local status=0 result=passed
    if [ "${1:-}" = stop ] && kill -0 "$background_pid" 2>/dev/null; then
        kill -- -"$background_pid" 2>/dev/null || true
        result=stopped
    fi
    wait "$background_pid" || status=$?
    background_pid=""
    echo "== $background_name (output)"
    cat "$background_log"
    local seconds=$((SECONDS - background_begin))
    if [ -s "$background_log.seconds" ]; then
        seconds=$(cat "$background_log.seconds")
    fi
    rm -f "$background_log" "$background_log.seconds"
    if [ "$result" = passed ] && [ "$status" -ne 0 ]; then
        result=FAILED
    fi
    record "$background_name" "$seconds" "$result"
    [ "$result" = passed ]
}

report() {
    if [ -n "$background_pid" ]; then
        finish_background stop || true
    fi
    echo
    echo "== Stage times"
    for i in "${!stage_names[@]}"; do
        printf '%-34s %s\n' "${stage_names[$i]}" "${stage_results[$i]}"
    done
    printf '%-34s %6d s\n' "the whole run" $((SECONDS - started))
}
trap report EXIT

configure() {
    local preset
    for preset in default windows-x86 sanitize; do
        cmake --preset "$preset" >/dev/null
    done
}

stage "packages (apt-get)" scripts/install-deps.sh
stage "configure the three trees" configure
stage "build default" cmake --build --preset default
stage "build windows-x86" cmake --build --preset windows-x86
start_background "ctest windows-x86 (Wine)" ctest --preset windows-x86
stage "ctest default" ctest --preset default
stage "build sanitize" cmake --build --preset sanitize
stage "ctest sanitize" ctest --preset sanitize
stage "fuzz runs" scripts/fuzz.sh
stage "clang-tidy" scripts/tidy.sh
stage "clang-format" scripts/format.sh --check
stage "rebuild windows-x86 and compare" scripts/rebuild-compare.sh
finish_background || exit 1
