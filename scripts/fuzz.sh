#!/usr/bin/env bash
# Runs every fuzz target in BUILD_DIR for SECONDS each. Usage: fuzz.sh BUILD_DIR SECONDS
# Each target grows its own corpus in BUILD_DIR/fuzz-corpus/NAME, seeded from tests/fuzz/corpus.
# A crash, a failed invariant, a sanitizer report, a leak or an input slower than 10 s fails the
# run; the offending input is left in BUILD_DIR/fuzz-artifacts/NAME.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS" >&2
    exit 2
fi
build=$1
seconds=$2
seeds=$(cd "$(dirname "$0")/.." && pwd)/tests/fuzz/corpus

mapfile -t targets < <(find "$build/tests/fuzz" -maxdepth 1 -type f -name '*_fuzz' -perm -u+x \
                       2>/dev/null | sort)
if [ ${#targets[@]} -eq 0 ]; then
    echo "fuzz: no fuzz targets in $build/tests/fuzz" >&2
    exit 1
fi

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${targets[@]}"; do
    name=$(basename "$target")
    corpus=$build/fuzz-corpus/$name
    artifacts=$build/fuzz-artifacts/$name
    mkdir -p "$corpus" "$artifacts"
    for seed in "$seeds"/*; do
        [ -e "$corpus/$(basename "$seed")" ] || cp "$seed" "$corpus/"
    done

    log=$artifacts/last-run.log
    echo "fuzz: $name for ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -timeout=10 -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "fuzz: $name FAILED (log $log, input in $artifacts)" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $name passed, ${runs:-?} inputs, corpus $(find "$corpus" -type f | wc -l) files"
done
