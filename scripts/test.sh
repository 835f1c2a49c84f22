#!/bin/bash
# Builds every preset and runs every test: the native unit tests (plain and
# under ASan + UBSan), the Windows unit and end-to-end tests under Wine on a
# private Xvfb display for win32 and win64, and a short fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
source scripts/env.sh
FUZZ_SECONDS=${FUZZ_SECONDS:-15}

for preset in native native-asan win32 win64 fuzz; do
    echo "== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

echo "== wine prefixes"
make_prefix build/win32 &
make_prefix build/win64 &
wait

start_xvfb
trap stop_xvfb EXIT

failed=0
passed=0
for preset in native native-asan win32 win64; do
    echo "== test $preset"
    if ctest --preset "$preset"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done

echo "== fuzz ${FUZZ_SECONDS}s per target"
if scripts/fuzz.sh "$FUZZ_SECONDS"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi

echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
