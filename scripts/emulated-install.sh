#!/bin/bash
# On a host that cannot execute 32-bit programs: installs the bundled example
# once with the release (i686) setup.exe, under 32-bit emulation by
# qemu-user-static registered through binfmt_misc for this run only, and
# checks SETUP.LOG's last line, the files and the registry values. The driver
# is the win64 demo_driver.exe, which runs natively and only watches windows.
# Slow (minutes): the whole win32 suite is never run this way.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/env.sh
dir=$PWD/build/win32/emulated-install
binfmt=/proc/sys/fs/binfmt_misc
qemu=/usr/bin/qemu-i386-static

[ -x "$qemu" ] || { echo "$qemu is missing (package qemu-user-static)"; exit 1; }
# The prefix is booted before the emulator is registered: natively, in seconds.
rm -rf "$dir"
pack_example "$dir" build/win32/bin/setup.exe >/dev/null
WINEPREFIX="$dir/wineprefix" boot_prefix

export WINEPREFIX="$dir/wineprefix"
mountpoint -q "$binfmt" || mount -t binfmt_misc binfmt_misc "$binfmt"
unregister() { wineserver -k 2>/dev/null || true; }
if [ ! -e "$QEMU_I386_ENTRY" ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
        > "$binfmt/register"
    unregister() { wineserver -k 2>/dev/null || true; [ -e "$QEMU_I386_ENTRY" ] && echo -1 > "$QEMU_I386_ENTRY" || true; }
fi
trap unregister EXIT
echo 1 > "$QEMU_I386_ENTRY"

start=$(date +%s)
(
    start_xvfb
    trap stop_xvfb EXIT
    drive_example "$dir" build/win64/bin/demo_driver.exe
) > "$dir/install.log" 2>&1 || { cat "$dir/install.log"; exit 1; }
unregister
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
