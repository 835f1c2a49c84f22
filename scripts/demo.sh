#!/bin/bash
# The main job: builds everything, packs the bundled example product with
# mksetup, and installs it with setup.exe under Wine. With a display, the
# installer opens in a window for you to click through; without one (or with
# DEMO_HEADLESS=1) it runs on a private Xvfb display, driven with the default
# answers, saving a screenshot of every window in out/demo/screenshots.
# The release (i686) setup.exe is used where this host executes 32-bit
# programs, the x86_64 build elsewhere (scripts/env.sh decides).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
source scripts/env.sh

if [ "$SETUP_HOST32" = native ]; then
    preset=win32
    why="the release (i686) setup.exe: this host executes 32-bit programs"
else
    preset=win64
    why="the x86_64 setup.exe: this host cannot execute 32-bit programs"
fi
for p in native "$preset"; do
    cmake --preset "$p" >/dev/null
    cmake --build --preset "$p"
done

demo=$PWD/out/demo
medium=$demo/medium
rm -rf "$demo"
mkdir -p "$demo/screenshots"

echo "== packing examples/ with mksetup"
pack_example "$demo" "build/$preset/bin/setup.exe"

echo "== a fresh Wine prefix for the demo"
make_prefix out/demo
export WINEPREFIX=$demo/wineprefix

echo "== installing with $why"
if [ -z "${DEMO_HEADLESS:-}" ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    echo "== setup.exe in a window on $DISPLAY: click it through"
    (cd "$medium" && $SETUP_WINE setup.exe Example*Product)
else
    echo "== no display: setup.exe on Xvfb, driven with the default answers"
    start_xvfb
    trap stop_xvfb EXIT
    drive_example "$demo" "build/$preset/bin/demo_driver.exe"
    stop_xvfb
fi

log=$(find "$WINEPREFIX/drive_c" -name SETUP.LOG 2>/dev/null | head -1)
if [ -z "$log" ]; then
    echo "No SETUP.LOG was written: the installation did not run to the progress dialog."
    exit 0
fi
dest=$(dirname "$log")
echo
echo "== SETUP.LOG ($log)"
tr -d '\r' < "$log"
echo
echo "== installed into $($SETUP_WINE winepath -w "$dest" 2>/dev/null) = $dest"
(cd "$dest" && find . -type f | sort | sed 's/^/   /')
echo "== shared DLL and shortcut"
find "$WINEPREFIX/drive_c/windows" -maxdepth 2 -name example.dll | sed 's/^/   /'
find "$WINEPREFIX/drive_c/users" -path '*Programs/Example*' | sed 's/^/   /'
echo "== registry"
$SETUP_WINE reg query 'HKCU\Software\Example' 2>/dev/null | tr -d '\r' | sed '/^$/d; s/^/   /'
echo "== in Add/Remove Programs"
# A 32-bit setup.exe writes HKLM\Software through the 32-bit view (Wow6432Node).
for key in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Example Product' \
           'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Example Product' \
           'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Example Product'; do
    entry=$($SETUP_WINE reg query "$key" 2>/dev/null | tr -d '\r') || continue
    echo "$entry" | sed '/^$/d; s/^/   /'
    break
done
echo "   To remove it again: WINEPREFIX=$WINEPREFIX $SETUP_WINE \"$($SETUP_WINE winepath -w "$dest" 2>/dev/null | tr -d '\r')\\uninstall.exe\" /uninstall"
echo "   (with /S after /uninstall: without any window; the shared example.dll outside the directory then stays)"
if ls "$demo"/screenshots/*.png >/dev/null 2>&1; then
    echo "== screenshots"
    ls "$demo"/screenshots/*.png | sed 's/^/   /'
fi
