#!/usr/bin/env bash
# Screenshots of the two dialogs, framed by a real window manager: starts a private Xvfb and
# openbox, runs the dialogs' screenshot, glyph and caption tests on them, stops both.
# Usage: screenshots.sh FORMS_TESTS OUTPUT_FOLDER
set -euo pipefail
binary=$1
out=$2

source "$(dirname "$0")/../../scripts/xsession.sh"
start_x_session 1024x768x24

mkdir -p "$out"
rm -f "$out/set-time-dialog.png" "$out/time-up-window.png"
QT_QPA_PLATFORM=xcb ALARM_SCREENSHOT_DIR="$out" "$binary" \
    --gtest_filter='Look.*'
for name in set-time-dialog time-up-window; do
    [ -s "$out/$name.png" ] || { echo "no screenshot $out/$name.png" >&2; exit 1; }
    echo "screenshot: $out/$name.png"
done
