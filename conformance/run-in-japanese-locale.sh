#!/usr/bin/env bash
# Runs a command in a Japanese locale, which gives a Windows program started
# under Wine the code page 932. The locale is built for the run from the
# system's locale sources (Debian's locales package) and removed after.
#   run-in-japanese-locale.sh command [argument...]
set -euo pipefail
locales=$(mktemp -d /tmp/radozavu-locale-XXXXXX)
trap 'rm -rf "$locales"' EXIT
localedef -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8"
export LOCPATH=$locales LC_ALL=ja_JP.UTF-8
"$@"
