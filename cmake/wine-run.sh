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
# saves each of them starting one (about a second). Neither the server nor
# the prefix's service processes, which live as long as it does, may hold on
# to our output, or whoever reads it (ctest) waits for them to end: they are
# started here, away from it.
if wineserver -p30 </dev/null >/dev/null 2>&1; then
    $SETUP_WINE cmd /c exit </dev/null >/dev/null 2>&1 || true
fi
exec $(wine_for "$exe") "$@"
