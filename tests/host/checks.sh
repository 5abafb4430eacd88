# Shared by the host's shell tests: a scratch folder removed at the end,
# named checks counted into the closing "N passed, N failed" line, and a way
# to run the host ($host) and look at what it said.
work=$(mktemp -d /tmp/radozavu-host-test-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0

check() { # description, then a command that must succeed
    local description=$1
    shift
    if "$@"; then
        passes=$((passes + 1))
    else
        echo "FAILED: $description"
        failures=$((failures + 1))
    fi
}

# Prints the closing line; the script's status tells whether all passed.
finish() {
    echo "$passes passed, $failures failed"
    [ "$failures" -eq 0 ]
}

# Runs the host; keeps its exit status, standard output and error.
run() {
    "$host" "$@" >"$work/out" 2>"$work/err"
    status=$?
}
# The registry a machine folder keeps: the file of its last full save and
# the changes since.
registry_state() {
    cat "$1/state/registry.reg" && { [ ! -e "$1/state/changes.reg" ] || cat "$1/state/changes.reg"; }
}
output_has() { grep -qF -- "$1" "$work/out"; }
error_has() { grep -qF -- "$1" "$work/err"; }
status_is() { [ "$status" -eq "$1" ]; }
