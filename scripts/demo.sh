#!/bin/bash
# The main job: builds setup.exe and lets it prepare "setup.drc" from the
# bundled example's plain list, the way a publisher prepares a medium.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
source scripts/env.sh

cmake --preset win32 >/dev/null
cmake --build --preset win32
[ -f build/win32/wineprefix/system.reg ] || make_prefix build/win32
export WINEPREFIX=$PWD/build/win32/wineprefix

medium=out/demo-medium
rm -rf "$medium"
mkdir -p "$medium"
cp build/win32/bin/setup.exe examples/setup.lst "$medium"/
echo "Running setup.exe in $medium with only setup.lst beside it..."
(cd "$medium" && wine setup.exe Example)
echo "setup.exe wrote $(stat -c %s "$medium/setup.drc") bytes of scrambled list to $medium/setup.drc"
