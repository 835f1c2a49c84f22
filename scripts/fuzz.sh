#!/bin/bash
# Runs every libFuzzer target of the fuzz preset for SECONDS each (default 30),
# each on a copy of its seed corpus, and prints executions and findings per
# target. Exits non-zero when any target found something.
#   scripts/fuzz.sh [SECONDS]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
bin=build/fuzz/bin
failed=0
for target in "$bin"/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    seeds=fuzz/corpus/${name#fuzz_}
    [ -d "$seeds" ] || seeds=fuzz/corpus
    corpus=$(mktemp -d)
    find "$seeds" -maxdepth 1 -type f -exec cp {} "$corpus"/ \;
    log=build/fuzz/$name.log
    if "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="build/fuzz/$name-" \
        "$corpus" >"$log" 2>&1; then
        verdict="no finding"
    else
        verdict="FOUND A FAULT (see $log)"
        failed=$((failed + 1))
        tail -40 "$log"
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    echo "$name: ${execs:-?} executions in ${seconds}s, $verdict"
    rm -rf "$corpus"
done
[ "$failed" -eq 0 ]
