# Sourced by the scripts and by cmake/wine-run.sh (POSIX sh): Wine without
# prompts or desktop entries, the Wine loader this host can start, and an Xvfb
# display of our own when a window must be shown.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-winemenubuilder.exe=d;mscoree=;mshtml=}"

# Some hosts' kernels cannot execute 32-bit programs at all. There Debian's
# `wine` wrapper, which prefers the 32-bit loader whenever it is installed,
# fails for every program, 64-bit ones included, and only Wine's 64-bit loader
# starts. Decided once per run and exported to everything started from it:
#   SETUP_HOST32  native  32-bit programs run on this host's own CPU
#                 none    they do not (or are only emulated): set it to "none"
#                         beforehand to take that path on any host
#   SETUP_WINE    the loader to run programs, wineboot and winepath with
QEMU_I386_ENTRY=/proc/sys/fs/binfmt_misc/qemu-i386
WINE64=/usr/lib/wine/wine64  # Wine's 64-bit loader

# True when a 32-bit program starts natively. An enabled qemu registration
# would run it under emulation, so it is switched off for the probe.
host_runs_32bit() {
    _probe=/usr/lib/wine/wine
    [ -x "$_probe" ] || _probe=/lib/ld-linux.so.2
    [ -x "$_probe" ] || return 1
    _paused=""
    if [ -e "$QEMU_I386_ENTRY" ] && grep -qx enabled "$QEMU_I386_ENTRY"; then
        # Cannot switch the emulator off: no way to tell, so take it as none.
        echo 0 2>/dev/null > "$QEMU_I386_ENTRY" || return 1
        _paused=yes
    fi
    _ok=1
    "$_probe" --version >/dev/null 2>&1 && _ok=0
    [ -n "$_paused" ] && echo 1 > "$QEMU_I386_ENTRY"
    return $_ok
}

if [ -z "${SETUP_WINE:-}" ]; then
    if [ "${SETUP_HOST32:-}" != none ] && host_runs_32bit; then
        SETUP_HOST32=native
        SETUP_WINE=wine
    else
        SETUP_HOST32=none
        SETUP_WINE=$WINE64
        export WINELOADER=$SETUP_WINE
    fi
    export SETUP_HOST32 SETUP_WINE
fi

# Hands every 32-bit program to qemu's i386 emulator through binfmt_misc
# (root): the entry with flag F is asked before the kernel's own loader. On a
# host that cannot execute 32-bit programs that is the only way they run; on
# one that can, the forced path then behaves as such a host does, with no
# 32-bit program running natively behind its back (a 64-bit prefix's boot
# sets up its 32-bit half with 32-bit programs). Register it before a prefix
# is booted. end_32bit_emulation puts the entry back as it was.
QEMU_I386=/usr/bin/qemu-i386-static
_qemu_restore=""
emulate_32bit() {
    [ -x "$QEMU_I386" ] || { echo "$QEMU_I386 is missing (package qemu-user-static)" >&2; return 1; }
    _binfmt=$(dirname "$QEMU_I386_ENTRY")
    mountpoint -q "$_binfmt" || mount -t binfmt_misc binfmt_misc "$_binfmt" || return 1
    if [ ! -e "$QEMU_I386_ENTRY" ]; then
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$QEMU_I386"':F' \
            > "$_binfmt/register" || return 1
        _qemu_restore=${_qemu_restore:-remove}
    elif ! grep -qx enabled "$QEMU_I386_ENTRY"; then
        _qemu_restore=${_qemu_restore:-disable}
    fi
    echo 1 > "$QEMU_I386_ENTRY"
}
end_32bit_emulation() {
    if [ -e "$QEMU_I386_ENTRY" ]; then
        case "$_qemu_restore" in
            remove) echo -1 > "$QEMU_I386_ENTRY" ;;
            disable) echo 0 > "$QEMU_I386_ENTRY" ;;
        esac
    fi
    _qemu_restore=""
}

# The loader to start the Windows program FILE with: SETUP_WINE, but Wine's
# 64-bit loader itself for a 64-bit program. Debian's `wine` prefers the
# 32-bit loader, which hands a 64-bit program to a 32-bit start.exe to launch
# through ShellExecuteEx: one Wine process more per start, and one more
# process start that can fail.
wine_for() {
    # The PE optional header's magic: 020b for a 64-bit program.
    _pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
    if [ -n "$_pe" ] && [ "$(od -An -tx2 -j$((_pe + 24)) -N2 "$1" 2>/dev/null | tr -d ' ')" = 020b ]; then
        echo "$WINE64"
    else
        echo "$SETUP_WINE"
    fi
}

# Makes a fresh Wine prefix inside a build tree: make_prefix build/win32
make_prefix() {
    rm -rf "$PWD/$1/wineprefix"
    WINEPREFIX="$PWD/$1/wineprefix" boot_prefix
}

# Boots the prefix named by WINEPREFIX.
boot_prefix() {
    $SETUP_WINE wineboot -i >/dev/null 2>&1 || true
    # Without a window manager, managed windows get no caption and every hide
    # waits for one; unmanaged windows draw their own frames.
    $SETUP_WINE reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    wineserver -w || true
}

# Starts Xvfb on a free display and exports DISPLAY; stop_xvfb ends it.
XVFB_PID=""
start_xvfb() {
    for _n in $(seq 90 140); do
        { [ -e "/tmp/.X$_n-lock" ] || [ -e "/tmp/.X11-unix/X$_n" ]; } && continue
        Xvfb ":$_n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$_n" ] && break
            sleep 0.1
        done
        if kill -0 "$XVFB_PID" 2>/dev/null; then
            export DISPLAY=":$_n"
            return 0
        fi
    done
    echo "could not start Xvfb" >&2
    return 1
}
stop_xvfb() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
}

# Packs examples/ into DIR/medium with mksetup, the given setup.exe and the
# example files of that setup.exe's build tree.
#   pack_example DIR SETUP_EXE
pack_example() {
    rm -rf "$1/medium"
    build/native/bin/mksetup build examples/setup.lst "$(dirname "$(dirname "$2")")/example-files" "$1/medium" \
        --setup-exe "$2"
}

# Installs DIR/medium in the prefix WINEPREFIX on the current display, driven
# with the default answers by DRIVER (a demo_driver.exe; either bitness, it
# only watches setup.exe's windows), with a screenshot of each window in
# DIR/screenshots and the driver's account in DIR/driver.log.
#   drive_example DIR DRIVER
drive_example() {
    mkdir -p "$1/screenshots"
    $SETUP_WINE "$2" "$($SETUP_WINE winepath -w "$1/medium")" "$($SETUP_WINE winepath -w "$1/screenshots")" \
        "Example*Product" | tee "$1/driver.log"
}
