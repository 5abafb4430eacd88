#!/usr/bin/env bash
# Runs a Windows test program under Wine in a fresh 32-bit prefix of its own,
# on a virtual display of its own (message boxes need one), and removes the
# prefix after.
set -euo pipefail
program=$1
shift
source "$(dirname "$0")/fresh-prefix.sh"
start_virtual_display
status=0
wine "$program" "$@" || status=$?
exit "$status"
