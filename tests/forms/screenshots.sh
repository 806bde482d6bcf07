#!/usr/bin/env bash
# Screenshots of the two dialogs, framed by a real window manager: starts a private Xvfb and
# openbox, runs the dialogs' screenshot, glyph and caption tests on them, stops both.
# Usage: screenshots.sh FORMS_TESTS OUTPUT_FOLDER
set -euo pipefail
binary=$1
out=$2

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# -displayfd picks a free display, so parallel runs never collide.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
export XDG_RUNTIME_DIR="$work/runtime"
export HOME="$work/home"
mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$HOME"

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || {
    echo "openbox did not start" >&2
    cat "$work/openbox.log" >&2
    exit 1
}

mkdir -p "$out"
rm -f "$out/frmSetTime.png" "$out/frmTimeUp.png"
QT_QPA_PLATFORM=xcb ALARM_SCREENSHOT_DIR="$out" "$binary" \
    --gtest_filter='DialogScreenshots.*:DialogGlyphs.*:DialogCaptions.*:DialogAccessibility.*'
for name in frmSetTime frmTimeUp; do
    [ -s "$out/$name.png" ] || { echo "no screenshot $out/$name.png" >&2; exit 1; }
    echo "screenshot: $out/$name.png"
done
