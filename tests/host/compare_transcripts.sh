#!/usr/bin/env bash
# Compares the transcripts of one script run on two machines, the emulated
# one and a Windows computer (radozavu.exe), call by call: the calls must be
# the same, each with the same result and the same changes, told by what
# changed (the key, value, file, window, process, service, library or box;
# a restart request by the fact alone), not by the details (sizes, digests, exit codes, times). A call marked
# `differs "REASON"` is not compared (its transcript says "may differ between
# the machines"); a line marked `on emulated|windows "REASON"` runs on one
# machine only and is left out. Kinds of change the
# host on Windows cannot see are left out of the emulated side: messages
# posted or sent to other programs' windows, programs started and ended
# within a call, and stop requests to services (it sees their state).
#   compare_transcripts.sh EMULATED-TRANSCRIPT WINDOWS-TRANSCRIPT NAME
set -euo pipefail
emulated=$1
windows=$2
name=$3

# One line per call: "source<TAB>result<TAB>change keys, sorted, joined by |".
calls() {
    awk '
        function flush(    n, i, j, key, sorted, joined) {
            if (source != "" && result != "") {
                n = 0
                for (key in keys) {
                    for (j = ++n; j > 1 && sorted[j - 1] > key; j--) sorted[j] = sorted[j - 1]
                    sorted[j] = key
                }
                joined = ""
                for (i = 1; i <= n; i++) joined = joined (i > 1 ? "|" : "") sorted[i]
                print marked source "\t" result "\t" joined
            }
            source = ""; result = ""; delete keys
        }
        { sub(/\r$/, "") }
        /^> / { flush(); source = substr($0, 3); marked = ""; next }
        source != "" && result == "" && /^  \(only on the / { source = ""; next }
        source != "" && result == "" && /^  \(may differ between the machines: / { marked = "marked "; next }
        source != "" && result == "" && /^[A-Za-z_0-9]+ -> / { result = $0; next }
        source != "" && result != "" && /^  [^ (]/ && $0 !~ /^  ok: / {
            line = substr($0, 3)
            if (line ~ /^(window message posted|window message sent|program started|service stop requested) /) next
            if (line ~ /^message box /) { sub(/ owner=.* title=/, " title=", line) }
            else if (line ~ /^restart requested /) { line = "restart requested" }
            else {
                cut = length(line) + 1
                if ((at = index(line, " = ")) > 0 && at < cut) cut = at
                if ((at = index(line, " (")) > 0 && at < cut) cut = at
                line = substr(line, 1, cut - 1)
            }
            gsub(/  +/, " ", line)
            keys[tolower(line)] = 1
        }
        END { flush() }
    ' "$1"
}

paste <(calls "$emulated") <(calls "$windows") | awk -F'\t' -v name="$name" '
    NF != 6 { print name ": the machines ran different calls (" $1 " | " $4 ")"; bad = 1; exit }
    $1 != $4 { print name ": the machines ran different calls: " $1 " | " $4; bad = 1; exit }
    $1 ~ /^marked / { marked++; next }
    $2 != $5 { print name ": " $1 ": the results differ: emulated \"" $2 "\", windows \"" $5 "\""; bad = 1 }
    $3 != $6 {
        print name ": " $1 ": the changes differ:"
        print "  emulated: " $3
        print "  windows:  " $6
        bad = 1
    }
    { compared++ }
    END {
        if (!bad && compared == 0) { print name ": no calls to compare"; bad = 1 }
        if (!bad) print name ": " compared " calls agree on both machines, " marked + 0 " marked as differing"
        exit bad
    }'
