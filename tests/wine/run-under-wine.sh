#!/usr/bin/env bash
# Runs a Windows test program under Wine in a fresh prefix of its own (32-bit,
# or 64-bit with RADOZAVU_WINE_ARCH=win64: see fresh-prefix.sh), on a virtual
# display of its own (message boxes need one), and removes the prefix after.
set -euo pipefail
program=$1
shift
source "$(dirname "$0")/fresh-prefix.sh"
start_virtual_display
status=0
wine "$program" "$@" || status=$?
exit "$status"
