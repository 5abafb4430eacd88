#!/usr/bin/env bash
# The example installer scripts as a test: install, upgrade and removal, in
# that order, on one machine with the product running; every expectation
# must hold.
set -euo pipefail
host=$1
examples=$2
work=$(mktemp -d /tmp/radozavu-examples-XXXXXX)
trap 'rm -rf "$work"' EXIT
"$host" machine new "$work/machine" --with-product-running >/dev/null
for script in install upgrade removal; do
    if ! "$host" run --machine "$work/machine" "$examples/$script.script" >"$work/$script.out"; then
        tail -20 "$work/$script.out"
        echo "examples/$script.script failed"
        exit 1
    fi
    echo "examples/$script.script: $(grep -c '^  ok:' "$work/$script.out") expectations met"
done
