#!/bin/sh
# Mounts a 1 MB tmpfs as drive T: of the build tree's Wine prefix and runs
# the end-to-end case that fills it during an expansion.
#   full_disk.sh <wine-run.sh> <e2e_tests.exe>
# Mounting needs root (or CAP_SYS_ADMIN); without it the test is skipped (77).
run="$1"
e2e="$2"
dir=$(cd "$(dirname "$e2e")" && pwd)
while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
prefix="${WINEPREFIX:-$dir/wineprefix}"
[ -f "$prefix/system.reg" ] || WINEPREFIX="$prefix" "$run" cmd /c exit >/dev/null 2>&1

mountpoint=$(mktemp -d /tmp/setup-full-disk.XXXXXX)
if ! mount -t tmpfs -o size=1m setup-full-disk "$mountpoint" 2>/dev/null; then
    rmdir "$mountpoint"
    echo "full_disk: cannot mount a tmpfs on this machine (needs root); not run"
    exit 77
fi
drive="$prefix/dosdevices/t:"
cleanup() {
    rm -f "$drive"
    umount "$mountpoint" && rmdir "$mountpoint"
}
trap cleanup EXIT INT TERM
rm -f "$drive"
ln -s "$mountpoint" "$drive"

out=$(SETUP_E2E_SMALL_DRIVE=T: WINEPREFIX="$prefix" "$run" "$e2e" \
      --gtest_filter=ExampleE2eTest.AFullDiskDuringAnExpansionKeepsTheOldFile 2>&1)
status=$?
echo "$out"
df -k "$mountpoint" | tail -1
case "$out" in
*"[  PASSED  ] 1 test"*) [ $status -eq 0 ] && exit 0 ;;
esac
echo "full_disk: the case did not pass"
exit 1
