#!/usr/bin/env bash
# What a screen reader reads of the program: the real binary under Xvfb and openbox, read through
# the accessibility bus (AT-SPI) with pyatspi, as Orca reads it. The clock, the alarm and the
# note are read by their texts and follow every change; every control of the three windows has
# a name; a note is read as typed, markup and all.
#
# Usage: a11y_e2e.sh PATH-TO-alarm-clock
# Every wait is bounded; everything started here is stopped by its PID on the way out.
set -euo pipefail

bin=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
source "$here/../../scripts/xsession.sh"
e2e_name=e2e-a11y
source "$here/driver.sh"
need_tools Xvfb openbox xdotool xprop xwininfo xwd dbus-daemon dbus-send libfaketime
launcher=/usr/libexec/at-spi-bus-launcher
[ -x "$launcher" ] || fail "at-spi-bus-launcher is missing (Debian package at-spi2-core)"
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || fail "pyatspi is missing (python3-pyatspi)"

export TZ=UTC
start_x_session 1024x768x24 || fail "no X session"
# A session bus of this test's own, and on it the accessibility bus with its registry.
dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
pids+=($!)
wait_for 10 test -s "$work/bus" || fail "the session bus did not start"
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
export DBUS_SESSION_BUS_ADDRESS
"$launcher" --launch-immediately >"$work/a11y-bus.log" 2>&1 &
pids+=($!)
a11y_bus_up() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}
wait_for 10 a11y_bus_up || fail "the accessibility bus did not start: $(cat "$work/a11y-bus.log")"

fake_clock_to "2026-12-07 10:02:00"
start_program QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
wait_main_window

# tree: the program's accessible objects, "WINDOW<TAB>ROLE<TAB>NAME<TAB>DESCRIPTION" a line.
tree() { timeout 20 /usr/bin/python3 "$here/a11y_tree.py" "$app" 2>>"$work/a11y-tree.log"; }
# read_as DESCRIPTION: the name of the object the program describes so.
read_as() { tree | awk -F'\t' -v d="$1" '$4 == d { print $3; exit }'; }
on_bus() { [ -n "$(tree)" ]; }
wait_for 20 on_bus || fail "the program is not on the accessibility bus: $(tail -n 12 "$work/a11y-tree.log")"

# unnamed WINDOW: the controls of that window that a screen reader would find without a name.
unnamed() {
    tree | awk -F'\t' -v w="$1" '$1 == w && $2 ~ /^(label|push button|combo box|text|icon|image)$/ &&
        $3 == "" && $4 == "" { print $2 }'
}
# expect_controls WINDOW ROLE:NAME...: the window has these controls, and none without a name.
expect_controls() {
    local window=$1 control listing
    shift
    listing=$(tree | awk -F'\t' -v w="$window" '$1 == w { print $2 ":" $3 }')
    for control in "$@"; do
        grep -qxF "$control" <<<"$listing" || fail "$window: no $control; read: $(tr '\n' ' ' <<<"$listing")"
    done
    [ -z "$(unnamed "$window")" ] || fail "$window: controls without a name: $(unnamed "$window")"
    say "$window: $(grep -c . <<<"$listing") objects, every control named"
}

# --- the clock is read by its time, and follows it ---------------------------------------------
# The clock label is empty until the first tick, up to a second after the start.
clock_shown() { [[ $(read_as "時計") =~ ^10:0[0-9]:[0-9][0-9]$ ]]; }
wait_for 5 clock_shown || fail "the clock reads [$(read_as "時計")]"
clock=$(read_as "時計")
clock_moved() { [ "$(read_as "時計")" != "$clock" ]; }
wait_for 5 clock_moved || fail "the clock still reads [$clock]"
say "the clock read [$clock], then [$(read_as "時計")]"
expect_controls "ｱﾗｰﾑ時計" "push button:ｱﾗｰﾑｾｯﾄ" "push button:ﾀｽｸﾊﾞｰへ" "push button:閉じる" \
    "label:ｱﾗｰﾑ 時刻"

# --- the set-time dialog ---------------------------------------------------------------------
open_dialog
dialog_on_bus() { tree | grep "^ｱﾗｰﾑ時刻設定" >/dev/null; }
wait_for 10 dialog_on_bus || fail "the dialog is not on the bus: $(tree | cut -f1,2 | sort | uniq -c | tr '\n' ' ')"
# The combo box is read by its time (the proposal, the next half hour), its text field by the
# label before it.
expect_controls "ｱﾗｰﾑ時刻設定" "combo box:10:30" "text:時刻" "text:用件" "push button:OK" "push button:キャンセル" \
    "label:時刻" "label:用件"
xdotool key Escape
wait_for 10 dialog_gone || fail "Esc did not close the set-time dialog"

# --- the alarm and a note with markup in it, read as typed ---------------------------------------
note='<b>Meeting</b>'
# Due three seconds after the dialog is open, once it has closed again: the labels keep what
# they read after the ring.
open_dialog
alarm=$(hms $(($(fake_time_of_day) + 3)))
answer_dialog "$alarm" "$note"
# The label shows the seconds the alarm was set with, when they are not zero.
shown=${alarm%:00}
[ "$(read_as "アラーム時刻")" = "$shown" ] || fail "the alarm reads [$(read_as "アラーム時刻")]"
[ "$(read_as "用件")" = "$note" ] || fail "the note reads [$(read_as "用件")]"
say "the alarm reads [$shown], the note [$note]"

wait_for_timeup 20 || fail "no Time UP window"
ringing() { tree | grep -xF "Time UP	label	$note	" >/dev/null; }
wait_for 10 ringing || fail "Time UP does not read the note as typed: $(tree | grep '^Time UP' | tr '\n' ' ')"
expect_controls "Time UP" "label:$note" "push button:OK" "image:アラーム"
close_timeup

stop_program
say "ended with status 0"
