#!/usr/bin/env bash
# The example installer scripts as a test: install, upgrade and removal, in
# that order, on one machine with the product running; every expectation
# must hold; and the part of the transcript the README shows must be what
# they print. Options after the examples' folder make the machine another
# Windows (--windows 11), whose examples (examples/windows-11/) are written
# for it; the README shows the XP machine's transcript only.
set -euo pipefail
host=$1
examples=$2
shift 2
machine_options=("$@")
work=$(mktemp -d /tmp/radozavu-examples-XXXXXX)
trap 'rm -rf "$work"' EXIT
"$host" machine new "$work/machine" --with-product-running "${machine_options[@]}" >/dev/null
for script in install upgrade removal; do
    if ! "$host" run --machine "$work/machine" "$examples/$script.script" >"$work/$script.out"; then
        tail -20 "$work/$script.out"
        echo "examples/$script.script failed"
        exit 1
    fi
    echo "$examples/$script.script: $(grep -c '^  ok:' "$work/$script.out") expectations met"
done
[ ${#machine_options[@]} -eq 0 ] || exit 0
# The README's part of the transcript is what the examples print.
cat "$work"/*.out >"$work/transcript"
awk '/^```transcript/ { shown = 1; next } /^```/ { shown = 0 } shown && $0 !~ /^ *\.\.\.$/' \
    "$examples/../README.md" >"$work/shown"
[ -s "$work/shown" ] || { echo "README.md shows no transcript"; exit 1; }
while IFS= read -r line; do
    grep -qxF -- "$line" "$work/transcript" || { echo "README.md shows a line no example prints: $line"; exit 1; }
done <"$work/shown"
echo "README.md: its transcript lines are the examples' output"
