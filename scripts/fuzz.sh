#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a while and fails on the
# first finding (crash, sanitizer report, leak, timeout, out of memory).
#
#   fuzz.sh <fuzz build folder> <seconds per target> [target ...]
#
# New inputs go to <build>/corpus/<target>, next to the seeds of fuzz/corpus,
# so a later run goes on from where this one stopped; findings are written
# to <build>/findings/<target>.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: fuzz.sh <fuzz build folder> <seconds> [target ...]}
seconds=${2:?usage: fuzz.sh <fuzz build folder> <seconds> [target ...]}
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(system expression settings order driver shapefile formula setup scpi rpc)

for t in "${targets[@]}"; do
    corpus="$build/corpus/$t"
    findings="$build/findings/$t"
    mkdir -p "$corpus" "$findings"
    echo "fuzz: $t for ${seconds} s"
    if ! QT_QPA_PLATFORM=offscreen LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp" "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "fuzz/corpus/$t" >"$build/fuzz-$t.log" 2>&1; then
        tail -n 40 "$build/fuzz-$t.log"
        echo "fuzz: $t found a problem; the input is in $findings"
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/fuzz-$t.log")
    echo "fuzz: $t clean, ${runs:-?} inputs"
done
