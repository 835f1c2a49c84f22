#!/bin/bash
# On a host that cannot execute 32-bit programs: installs the bundled example
# once with the release (i686) setup.exe, under 32-bit emulation by
# qemu-user-static registered through binfmt_misc for this run only, and
# checks SETUP.LOG's last line, the files and the registry values. The prefix
# is booted with the emulator registered, so its 32-bit half is set up the
# same way on every host. The driver is the win64 demo_driver.exe, which runs
# natively and only watches windows.
# Slow (minutes): the whole win32 suite is never run this way.
#   scripts/emulated-install.sh [PREFIX_TO_COPY]
set -euo pipefail
cd "$(dirname "$0")/.."
# Whatever this host can do, the 32-bit programs here run emulated.
[ -n "${SETUP_WINE:-}" ] || SETUP_HOST32=none
source scripts/env.sh
dir=$PWD/build/win32/emulated-install
export WINEPREFIX="$dir/wineprefix"

rm -rf "$dir"
pack_example "$dir" build/win32/bin/setup.exe >/dev/null
# The emulator first, then the boot: the prefix's 32-bit half (syswow64) is
# set up by 32-bit programs, which only the emulator runs here. A prefix that
# was booted that way already and not used since may be handed in to be
# copied instead (scripts/test.sh hands in the win64 suite's, saving a boot).
emulate_32bit
done_emulating() { wineserver -k 2>/dev/null || true; end_32bit_emulation; }
trap done_emulating EXIT
start=$(date +%s)
if [ -n "${1:-}" ]; then
    cp -a "$1" "$WINEPREFIX"
    echo "prefix copied from $1"
else
    boot_prefix
    echo "prefix booted in $(( $(date +%s) - start )) s under emulation"
fi
if [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "the prefix's 32-bit half was not set up under emulation (no syswow64/kernel32.dll): a 32-bit setup.exe cannot start in it"
    exit 1
fi

start=$(date +%s)
(
    start_xvfb
    trap stop_xvfb EXIT
    drive_example "$dir" build/win64/bin/demo_driver.exe
) > "$dir/install.log" 2>&1 || { cat "$dir/install.log"; exit 1; }
done_emulating
trap - EXIT
echo "installed in $(( $(date +%s) - start )) s under emulation"

c="$WINEPREFIX/drive_c"
app="$c/Program Files (x86)/Example"
fail=0
check() { if eval "$2"; then echo "  ok: $1"; else echo "  FAILED: $1"; fail=1; fi; }
last=$(tr -d '\r' < "$app/SETUP.LOG" 2>/dev/null | sed '/^$/d' | tail -1 || true)
check "SETUP.LOG ends with \"Installation Successfully Completed\" (it ends with \"$last\")" \
      '[[ "$last" == *" Installation Successfully Completed" ]]'
check "readme.txt and docs\\notes.txt installed" \
      'cmp -s "$app/readme.txt" examples/files/readme.txt && cmp -s "$app/docs/notes.txt" examples/files/notes.txt'
check "example.dll in the 32-bit system directory" 'cmp -s "$c/windows/syswow64/example.dll" build/win32/example-files/example.dll'
reg=$($SETUP_WINE reg query 'HKCU\Software\Example' 2>/dev/null | tr -d '\r')
check "registry InstallDir" 'grep -q "InstallDir *REG_SZ *C:\\\\Program Files (x86)\\\\Example$" <<< "$reg"'
check "registry Version = 102" 'grep -q "Version *REG_DWORD *0x66$" <<< "$reg"'
[ "$fail" -eq 0 ] || { cat "$dir/install.log"; exit 1; }
