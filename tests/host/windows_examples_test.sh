#!/usr/bin/env bash
# The example installer scripts on both machines: install, upgrade and
# removal through radozavu.exe under Wine, in a fresh prefix made as the
# examples expect (drive D: mapped to a folder, the network provider order
# of a fresh Windows XP, the product's stand-ins installed and running), with
# every expectation met; then on the emulated machine through the Linux host;
# then their transcripts compared call by call (compare_transcripts.sh), and
# the JUnit reports of the Wine runs checked against them (junit_check.py).
#   RADOZAVU_EMULATED_HOST=LINUX-HOST windows_examples_test.sh RADOZAVU.EXE EXAMPLES-FOLDER [MACHINE]
# (the windows-x86 test preset names the default preset's host). The prefix
# is 32-bit, or 64-bit (radozavu.exe under WoW64) with RADOZAVU_WINE_ARCH=win64
# (fresh-prefix.sh). MACHINE is the kind of the emulated machine compared
# with, as `machine new` takes it ("--windows 11"; empty: the host's default
# machine).
set -euo pipefail
windows_host=$1
examples=$2
read -r -a machine_kind <<<"${3:-}"
emulated_host=${RADOZAVU_EMULATED_HOST:-}
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -x "$emulated_host" ]; then
    echo "no emulated host at '$emulated_host' (RADOZAVU_EMULATED_HOST): build the default preset first"
    exit 1
fi
source "$here/../wine/fresh-prefix.sh"
# The emulated machine is made first: the prefix is given its network
# provider order, the one a fresh install of that Windows has.
"$emulated_host" machine new "$work/machine" "${machine_kind[@]}" --with-product-running >/dev/null
provider_order=$(sed -n 's/^"ProviderOrder"="\(.*\)"\r\{0,1\}$/\1/p' "$work/machine/state/registry.reg")
mkdir "$work/drive-d"
ln -s "$work/drive-d" "$WINEPREFIX/dosdevices/d:"
wine reg add 'HKLM\System\CurrentControlSet\Control\NetworkProvider\Order' /v ProviderOrder \
    /t REG_SZ /d "$provider_order" /f >/dev/null 2>&1
# Every later program of the prefix runs on the virtual display: none may
# find a server started without one.
wineserver -w

cat >"$work/on-wine.sh" <<SCRIPT
set -e
wine "$windows_host" machine start-product
for script in install upgrade removal; do
    wine "$windows_host" run --junit "$work/\$script.xml" "$examples/\$script.script" \
        >"$work/\$script.windows" \
        2>"$work/\$script.windows-errors" || { echo "\$script: exit status \$?"; exit 1; }
done
SCRIPT
start_virtual_display
if ! bash "$work/on-wine.sh"; then
    for script in install upgrade removal; do
        [ -e "$work/$script.windows-errors" ] || continue
        tail -5 "$work/$script.windows"
        cat "$work/$script.windows-errors"
    done
    echo "the examples failed under Wine"
    exit 1
fi

status=0
for script in install upgrade removal; do
    "$emulated_host" run --machine "$work/machine" "$examples/$script.script" \
        >"$work/$script.emulated"
    echo "examples/$script.script: $(grep -c '^  ok:' "$work/$script.windows") expectations met under Wine ($WINEARCH), $(grep -c '^  ok:' "$work/$script.emulated") on the emulated machine ${machine_kind[*]}"
    "$here/compare_transcripts.sh" "$work/$script.emulated" "$work/$script.windows" \
        "examples/$script.script" || status=1
    python3 "$here/junit_check.py" "$work/$script.xml" "$work/$script.windows" \
        "$examples/$script.script" || status=1
done
exit "$status"
