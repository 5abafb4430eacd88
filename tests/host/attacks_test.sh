#!/usr/bin/env bash
# The attack rehearsals (examples/attacks/): each script on a fresh machine
# of its own; every expectation must hold.
set -euo pipefail
host=$1
attacks=$2
work=$(mktemp -d /tmp/radozavu-attacks-XXXXXX)
trap 'rm -rf "$work"' EXIT
for script in "$attacks"/*.script; do
    machine="$work/$(basename "$script" .script)"
    "$host" machine new "$machine" >/dev/null
    if ! "$host" run --machine "$machine" "$script" >"$machine.out"; then
        tail -20 "$machine.out"
        echo "$script failed"
        exit 1
    fi
    echo "$script: $(grep -c '^  ok:' "$machine.out") expectations met"
done
