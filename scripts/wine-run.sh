#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private prefix, code page 936.
# Wine's output goes to a file first: its background processes would otherwise keep the
# caller's pipe open (ctest would wait for them).
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${VELTRUN_WINEPREFIX:-$here/build/wineprefix}
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
mkdir -p "$WINEPREFIX"
log=$(mktemp)
wine "$@" >"$log" 2>&1 </dev/null
rc=$?
cat "$log"
rm -f "$log"
exit $rc
