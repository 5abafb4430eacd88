#!/usr/bin/env bash
# The samples of the README and docs/ as a test, so that none can rot: every
# radozavu command shown in a code block (indented, or fenced as sh) runs and
# succeeds, in order per file, with /tmp/ standing for a scratch folder; and
# every script fenced as "script" runs on a machine made with
# --with-product-running with all its expectations met. Blocks fenced as
# "text" are synopses, blocks fenced as "transcript" are output.
set -uo pipefail
host=$1
source_dir=$2
source "$(dirname "$0")/checks.sh"
cd "$source_dir" || exit 1

# Prints the code lines of a Markdown file as "KIND<TAB>LINE", KIND being
# "code" (an indented block or a fenced sh block), "script-N" (the Nth fenced
# script block) or "other".
code_lines() {
    awk '
        /^```/ { if (fence == "") { fence = substr($0, 4); if (fence == "script") scripts++ } else fence = ""; next }
        fence == "script" { print "script-" scripts "\t" $0; next }
        fence == "sh" { print "code\t" $0; next }
        fence != "" { next }
        /^    / && (previous == "" || inblock) { inblock = 1; print "code\t" substr($0, 5); previous = $0; next }
        { inblock = 0; previous = $0 }
    ' "$1"
}

commands=0
scripts=0
for page in README.md docs/*.md; do
    code_lines "$page" >"$work/lines"
    while IFS=$'\t' read -r kind line; do
        [ "$kind" = code ] || continue
        case $line in
        radozavu\ * | build/default/radozavu\ *) ;;
        *) continue ;;
        esac
        command=${line#build/default/}
        command="timeout 60 \"\$host\" ${command#radozavu }"
        command=${command//\/tmp\//$work/}
        commands=$((commands + 1))
        check "$page: $line" eval "$command >/dev/null 2>\"\$work/err\" || { cat \"\$work/err\"; false; }"
    done <"$work/lines"
    for block in $(cut -f1 "$work/lines" | grep '^script-' | sort -u); do
        grep "^$block"$'\t' "$work/lines" | cut -f2- >"$work/$block.script"
        machine=$work/machine-$(basename "$page")-$block
        "$host" machine new "$machine" --with-product-running >/dev/null
        scripts=$((scripts + 1))
        check "$page: the script sample $block runs" \
            eval '"$host" run --machine "$machine" "$work/$block.script" >/dev/null 2>"$work/err" ||
                  { cat "$work/err"; false; }'
    done
done
check "the samples were found (commands: $commands, scripts: $scripts)" \
    [ "$commands" -ge 8 ] && [ "$scripts" -ge 1 ]

finish
