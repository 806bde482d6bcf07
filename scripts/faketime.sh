#!/usr/bin/env bash
# The one way the program is started with its wall clock shifted by libfaketime: by the
# end-to-end tests and the screenshot (tests/e2e/driver.sh's start_program) and by the benchmark.
#
# Sourced, it gives faketime_lib, the library's path (empty when libfaketime is missing), and
# program_env CLOCK, which prints the environment to start the program in, one NAME=VALUE a line.
# Run as `scripts/faketime.sh env CLOCK`, it prints the same (bench/bench.py reads it), and fails
# when libfaketime is missing.
#
# CLOCK is what libfaketime reads: "+SECONDS" or "-SECONDS" from the real clock, or "@DATE" to
# start at DATE and run on; or the path of a file that holds one of these, which is read again at
# every reading of the clock, so that a script can step the clock while the program runs.

# The thread-safe build. The other, libfaketime.so.1, reads the clock file into shared buffers
# without a lock: while two threads of the program read the clock at once, one of them now and
# then gets the real, unshifted time (some 2 readings in 1000 with three threads reading without
# pause), and a tick that reads it goes by a time hours or days from the one the test set.
faketime_lib=$(ls /usr/lib/*/faketime/libfaketimeMT.so.1 2>/dev/null | head -n1)

program_env() {
    # On the X server of the session even when the desktop runs Wayland; Qt's timers keep the
    # real monotonic clock, as they do when a real clock is stepped; files keep their real times
    # (shifted, fontconfig takes its caches for stale and reads every font again at each start);
    # and the sanitizers' runtime is not the first library loaded when libfaketime is preloaded,
    # which it must be told.
    printf '%s\n' QT_QPA_PLATFORM=xcb "LD_PRELOAD=$faketime_lib" FAKETIME_DONT_FAKE_MONOTONIC=1 \
        NO_FAKE_STAT=1 "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
    case $1 in
    /*) printf '%s\n' "FAKETIME_TIMESTAMP_FILE=$1" FAKETIME_NO_CACHE=1 ;;
    *) printf '%s\n' "FAKETIME=$1" ;;
    esac
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    if [ "${1:-}" != env ] || [ $# -ne 2 ]; then
        echo "usage: faketime.sh env CLOCK" >&2
        exit 2
    fi
    [ -n "$faketime_lib" ] || { echo "faketime.sh: libfaketime is missing (faketime)" >&2; exit 1; }
    program_env "$2"
fi
