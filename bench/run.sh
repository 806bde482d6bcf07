#!/usr/bin/env bash
# make bench: builds the program and the bare Qt baseline for release, then measures both in one
# run (bench.py says how). Extra arguments go to bench.py, e.g. --starts 5 or --idle 30.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh bench

out=build/bench
jobs=${JOBS:-$(nproc)}
cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DALARM_TESTS=OFF >/dev/null
cmake --build "$out" -j "$jobs" --target alarm-clock alarm_sound >/dev/null
cmake -S bench/baseline -B "$out/baseline" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out/baseline" -j "$jobs" >/dev/null
# shellcheck disable=SC2046
cc -O2 -Wall -Wextra -o "$out/xwatch" bench/xwatch.c $(pkg-config --cflags --libs xcb xcb-damage)

echo "Measuring: about 6 minutes." >&2
python3 bench/bench.py --program "$out/alarm-clock" --baseline "$out/baseline/baseline" \
    --xwatch "$out/xwatch" --sound "$out/MSREMIND.WAV" --out "$out/results.md" "$@"
