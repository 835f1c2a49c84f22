# Sourced by the scripts: Wine without prompts or desktop entries, and an Xvfb
# display of our own when a window must be shown.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="

# Makes a fresh Wine prefix inside a build tree: make_prefix build/win32
make_prefix() {
    local prefix="$1/wineprefix"
    rm -rf "$prefix"
    WINEPREFIX="$PWD/$prefix" wineboot -i >/dev/null 2>&1 || true
    # Without a window manager, managed windows get no caption and every hide
    # waits for one; unmanaged windows draw their own frames.
    WINEPREFIX="$PWD/$prefix" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    WINEPREFIX="$PWD/$prefix" wineserver -w || true
}

# Starts Xvfb on a free display and exports DISPLAY; stop_xvfb ends it.
XVFB_PID=""
start_xvfb() {
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
        if kill -0 "$XVFB_PID" 2>/dev/null; then
            export DISPLAY=":$n"
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
