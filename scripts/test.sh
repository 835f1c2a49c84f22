#!/bin/bash
# Builds every preset and runs every test: the native unit tests (plain and
# under ASan + UBSan), the tests of the threaded classes under
# ThreadSanitizer, the Windows unit and end-to-end tests under Wine on a
# private Xvfb display for win32 and win64, a static check of the release
# setup.exe, and a short fuzzing run of every fuzz target.
#
# On a host that cannot execute 32-bit programs (scripts/env.sh decides; set
# SETUP_HOST32=none to take that path anywhere) the win32 suites do not run:
# the release setup.exe is checked statically and installs the example once
# under 32-bit emulation instead. There the emulator is registered for the
# whole run, so that no 32-bit program runs natively.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# (Missing only when the package sources had no usable i386 index.)
have_wine32=$(dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" && echo yes || true)
[ -n "$have_wine32" ] || SETUP_HOST32=none
source scripts/env.sh
if [ "$SETUP_HOST32" != native ]; then
    # For the whole run every 32-bit program runs under emulation, never
    # natively, also on a host that could: the prefixes' 32-bit halves are
    # set up under emulation, the same way on every host.
    scripts/deps.sh qemu-user-static
    emulate_32bit
fi
cleanup() { stop_xvfb; end_32bit_emulation; }
trap cleanup EXIT
FUZZ_SECONDS=${FUZZ_SECONDS:-15}

for preset in native native-asan native-tsan win32 win64 fuzz; do
    echo "== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

wine_presets=(win64)
[ "$SETUP_HOST32" = native ] && wine_presets=(win32 win64)
echo "== wine prefixes (${wine_presets[*]}; 32-bit programs: $SETUP_HOST32)"
for preset in "${wine_presets[@]}"; do make_prefix "build/$preset" & done
wait
if [ "$SETUP_HOST32" != native ] && [ -n "$have_wine32" ]; then
    # A copy of the fresh prefix for the emulated installation: booting one
    # under emulation takes minutes.
    rm -rf build/win32/booted-prefix
    cp -a build/win64/wineprefix build/win32/booted-prefix
fi

start_xvfb

failed=0
passed=0
skipped=0
suite() {
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}
for preset in native native-asan native-tsan "${wine_presets[@]}"; do
    echo "== test $preset"
    suite ctest --preset "$preset"
done
if [ "$SETUP_HOST32" != native ]; then
    if [ -n "$have_wine32" ]; then
        echo "win32 tests not run: this host cannot execute 32-bit programs; the win64 build ran the same tests"
    else
        echo "win32 tests not run: Wine's 32-bit half (wine32:i386) is not installed; the win64 build ran the same tests"
    fi
    skipped=$((skipped + 1))
fi

echo "== release setup.exe"
suite scripts/check-release.sh build/win32/bin/setup.exe
if [ "$SETUP_HOST32" != native ] && [ -z "$have_wine32" ]; then
    echo "release setup.exe not installed under emulation: Wine's 32-bit half (wine32:i386) is not installed (scripts/deps.sh said why)"
    skipped=$((skipped + 1))
elif [ "$SETUP_HOST32" != native ]; then
    echo "== release setup.exe installs the example under 32-bit emulation"
    suite scripts/emulated-install.sh build/win32/booted-prefix
fi

echo "== fuzz ${FUZZ_SECONDS}s per target"
suite scripts/fuzz.sh "$FUZZ_SECONDS"

echo "suites: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
