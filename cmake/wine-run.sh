#!/bin/sh
# Runs a Windows program under Wine with a prefix private to the build tree the
# program lives in (build/<preset>/wineprefix), so no test touches ~/.wine.
# The prefix is made on first use; scripts/test.sh makes it fresh for every run.
set -e
exe="$1"
if [ -z "$WINEPREFIX" ]; then
    dir=$(cd "$(dirname "$exe")" && pwd)
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
    [ "$dir" = "/" ] && { echo "wine-run.sh: no build tree above $exe" >&2; exit 2; }
    WINEPREFIX="$dir/wineprefix"
fi
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
# No desktop entries for .lnk files, no Mono/Gecko install prompts.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-winemenubuilder.exe=d;mscoree=;mshtml=}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    wineserver -w || true
fi
exec wine "$@"
