#!/usr/bin/env bash
# Takes the README's picture: the main window, the set-time dialog and the time-up window,
# side by side, under Xvfb and openbox with the clock shifted by libfaketime.
# Usage: scripts/screenshot.sh [PATH-TO-alarm-clock] [OUTPUT.png]
# (defaults: build/run/alarm-clock, built by `make build`, and docs/screenshot.png)
set -euo pipefail

cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/run/alarm-clock}")
out=$(realpath -m "${2:-docs/screenshot.png}")
[ -x "$bin" ] || { echo "screenshot: $bin is not built (make build)" >&2; exit 1; }
faketime_lib=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n1)
[ -n "$faketime_lib" ] || { echo "screenshot: libfaketime is missing (faketime)" >&2; exit 1; }

source scripts/xsession.sh
fail() {
    echo "screenshot: $*" >&2
    sed "s/^/screenshot: program: /" "$work/app.log" >&2 2>/dev/null || true
    exit 1
}
export TZ=UTC
start_x_session 800x600x24 || fail "no X session"
# A plain desktop-blue backdrop.
display -window root -size 8x8 xc:'#3a6ea5' 2>/dev/null || true

printf 'autospawn = no\n' >"$work/pulse-client.conf"
env PULSE_SERVER="unix:$work/run/no-such-pulse" PULSE_CLIENTCONFIG="$work/pulse-client.conf" \
    QT_QPA_PLATFORM=xcb LD_PRELOAD="$faketime_lib" FAKETIME="@2026-12-07 10:29:52" \
    FAKETIME_DONT_FAKE_MONOTONIC=1 ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0 \
    "$bin" >"$work/app.log" 2>&1 &
app=$!
pids+=("$app")

appears() { find_window "$1" >/dev/null; }

wait_for 30 appears "ｱﾗｰﾑ時計" || fail "the main window did not appear"
main=$(find_window "ｱﾗｰﾑ時計")
xdotool windowmove --sync "$main" 30 40

# An alarm at 10:30 with a note; it rings a few seconds later. The focus is on ｱﾗｰﾑｾｯﾄ.
xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool key space
wait_for 10 appears "ｱﾗｰﾑ時刻設定" || fail "the set-time dialog did not open"
xdotool key ctrl+a
xdotool type --delay 20 "10:30"
xdotool key Tab Tab Tab
xdotool type --delay 40 "会議の資料を印刷する"
xdotool key Return
wait_for 20 appears "Time UP" || fail "the alarm did not ring"
timeup=$(find_window "Time UP")
xdotool windowmove --sync "$timeup" 300 40

# The dialog once more, opened over the main window and moved below it.
xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool key space
wait_for 10 appears "ｱﾗｰﾑ時刻設定" || fail "the set-time dialog did not open again"
dialog=$(find_window "ｱﾗｰﾑ時刻設定")
xdotool windowmove --sync "$dialog" 300 170
sleep 1

mkdir -p "$(dirname "$out")"
import -window root -crop 500x285+20+15 +repage "$out"
echo "screenshot: $out"
