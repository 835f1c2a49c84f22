#!/bin/sh
# Runs a Windows program under Wine with a prefix private to the build tree the
# program lives in (build/<preset>/wineprefix), so no test touches ~/.wine.
# The prefix is made on first use; scripts/test.sh makes it fresh for every run.
# scripts/env.sh picks the Wine loader this host can start.
set -e
exe="$1"
if [ -z "$WINEPREFIX" ]; then
    dir=$(cd "$(dirname "$exe")" && pwd)
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
    [ "$dir" = "/" ] && { echo "wine-run.sh: no build tree above $exe" >&2; exit 2; }
    WINEPREFIX="$dir/wineprefix"
fi
export WINEPREFIX
. "$(dirname "$0")/../scripts/env.sh"
[ -f "$WINEPREFIX/system.reg" ] || boot_prefix
# Every test case is a process of its own: a server that stays for a while
# saves each of them starting one (about a second).
wineserver -p30 >/dev/null 2>&1 </dev/null || true
exec $SETUP_WINE "$@"
