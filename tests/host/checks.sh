# Shared by the host's shell tests: a scratch folder removed at the end, and
# named checks counted into the closing "N passed, N failed" line.
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
