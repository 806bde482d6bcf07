#!/usr/bin/env bash
# The whole program as a user meets it: the real binary under Xvfb and openbox, its clock
# shifted by libfaketime, driven with xdotool. Sets an alarm a few seconds ahead through the
# dialog, minimises, reads the countdown titles from the window manager, sees the time-up window
# come up at the alarm second (e2e_look sees it above the others), sees the taskbar entry ask for
# attention in one way only and hold it while overdue, presses OK, restores and ends with 閉じる.
#
# Usage: alarm_e2e.sh PATH-TO-alarm-clock
# Every wait is bounded; everything started here is stopped by its PID on the way out.
set -euo pipefail

bin=$(realpath "$1")
# Typed with xdotool, which gives characters outside the keyboard map a scratch keycode for the
# moment; Qt does not always see that remapping in time, so the note sticks to the keymap.
# (The Japanese texts of titles and windows are checked as the program writes them.)
note=Meeting
fake_start="2026-12-07 10:29:30"

source "$(dirname "$0")/../../scripts/xsession.sh"
e2e_name=e2e
source "$(dirname "$0")/driver.sh"
need_tools Xvfb openbox xdotool xprop xwininfo libfaketime

export TZ=UTC
start_x_session 1024x768x24 || fail "no X session"
say "Xvfb on $DISPLAY, openbox running"

# --- the program ------------------------------------------------------------------------
# No audio server at all (the sound must not hold anything up), and the clock starts at
# $fake_start and runs on.
fake_clock_to "$fake_start"
start_program
wait_main_window
say "main window $main is mapped with the title ｱﾗｰﾑ時計"

# --- set the alarm through the dialog -----------------------------------------------------
# Six seconds ahead, counted from when the dialog is open (the first opening takes its time):
# typing, OK and minimising take one or two of them, which leaves four or five countdown
# titles to read, where three show that it counts down.
open_dialog
alarm_secs=$(($(fake_time_of_day) + 6))
alarm=$(hms "$alarm_secs")
say "setting the alarm to $alarm with the note $note"
answer_dialog "$alarm" "$note"

# --- minimise with ﾀｽｸﾊﾞｰへ and read the countdown --------------------------------------------
minimise
say "minimised at about $(hms "$(fake_time_of_day)"); alarm at $alarm"

titles=()
timeup=
title_at_map=
end=$(($(now_ms) + 30000))
while [ "$(now_ms)" -lt "$end" ]; do
    alive || fail "the program ended while counting down"
    title=$(title_of "$main")
    if [ ${#titles[@]} -eq 0 ] || [ "${titles[-1]}" != "$title" ]; then
        titles+=("$title")
    fi
    if timeup=$(find_window "Time UP"); then
        title_at_map=$(title_of "$main")
        break
    fi
    sleep 0.05
done
[ -n "$timeup" ] || fail "no Time UP window by $(hms "$(fake_time_of_day)"); titles seen: ${titles[*]}"
say "countdown titles seen: $(printf '[%s] ' "${titles[@]}")"
say "Time UP window $timeup mapped while the main title read [$title_at_map]"

# Every title before the ring counts the seconds down to the alarm, then the note.
previous=100
counted=0
for title in "${titles[@]}"; do
    [[ $title =~ ^([0-9][0-9])秒\ 前\ 【$note】$ ]] ||
        fail "unexpected title before the ring: [$title]"
    seconds=$((10#${BASH_REMATCH[1]}))
    [ "$seconds" -lt "$previous" ] || fail "the countdown did not go down: ${titles[*]}"
    previous=$seconds
    counted=$((counted + 1))
done
[ "$counted" -ge 3 ] || fail "too few countdown titles: ${titles[*]}"
# At the alarm second: the title reads 00秒 前 then (polling may be a tick late) 01秒 ｵｰﾊﾞｰ.
[[ $title_at_map == "00秒 前 【$note】" || $title_at_map == "01秒 ｵｰﾊﾞｰ 【$note】" ]] ||
    fail "the Time UP window came up off the alarm second: title [$title_at_map]"
[ "${titles[-1]}" = "00秒 前 【$note】" ] || [ "${titles[-1]}" = "01秒 前 【$note】" ] ||
    fail "the Time UP window came up early: last title [${titles[-1]}]"

# --- the taskbar entry asks for attention while overdue, and holds it ------------------------
# Held across two ticks (the overdue title changes with each): a window that flashed instead
# would drop it at one of them at least.
asking() { [ "$(attention_of "$main")" = on ]; }
wait_for 3 asking || fail "no attention asked for after the alarm second: $(attention_of "$main")"
samples=0
dropped=0
ticks=0
title=$(title_of "$main")
end=$(($(now_ms) + 5000))
while [ "$ticks" -lt 2 ]; do
    [ "$(now_ms)" -lt "$end" ] || fail "the overdue title did not change twice in 5 s: [$title]"
    alive || fail "the program ended while overdue"
    asking || dropped=$((dropped + 1))
    samples=$((samples + 1))
    overdue_title=$(title_of "$main")
    [ "$overdue_title" = "$title" ] || ticks=$((ticks + 1))
    title=$overdue_title
    sleep 0.03
done
[[ $overdue_title =~ ^[0-9][0-9]秒\ ｵｰﾊﾞｰ\ 【$note】$ ]] ||
    fail "the overdue title reads [$overdue_title]"
say "overdue title [$overdue_title]; attention (demands-attention, no urgency hint) held in" \
    "$((samples - dropped)) of $samples samples over two ticks"
[ "$dropped" -eq 0 ] || fail "the attention was not held: off in $dropped of $samples samples"

# --- Enter on the time-up window, restore, 閉じる --------------------------------------------
# The window took the focus when it came up, so Enter answers it.
wait_for 5 active_is "$timeup" || fail "Time UP does not have the focus"
xdotool key Return
wait_for 5 timeup_gone || fail "Enter did not close the Time UP window"
say "Time UP had the focus; Enter closed it"

restored() { ! minimised && [ "$(title_of "$main")" = "ｱﾗｰﾑ時計" ]; }
xdotool windowactivate "$main" 2>/dev/null || true
wait_for 5 restored || fail "the main window did not come back as ｱﾗｰﾑ時計"
not_asking() { [ "$(attention_of "$main")" = off ]; }
wait_for 3 not_asking || fail "restored, the window still asks for attention: $(attention_of "$main")"
say "restored: the title reads ｱﾗｰﾑ時計 again and no attention is asked for"

stop_program
say "閉じる ended the program with status 0"

# --- a second run: the title bar's close while the alarm rings -----------------------------
# The main window goes, the time-up window stays until its OK, and then the program ends.
start_program
wait_main_window
# Two seconds after OK, with the main window active again by then.
open_dialog
answer_dialog "$(hms $(($(fake_time_of_day) + 3)))"
wait_for_timeup 20 || fail "no Time UP window (second run)"
# It rang while the user worked in the main window: it takes the focus from there.
wait_for 5 active_is "$timeup" || fail "Time UP did not take the focus from the main window"
say "second run: Time UP $timeup is up with the focus; closing the main window from its" \
    "title bar (Alt+F4)"

main_gone() { ! viewable "$main"; }
for attempt in 1 2 3; do
    xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
    xdotool key --clearmodifiers alt+F4
    wait_for 3 main_gone && break
done
main_gone || fail "the title bar's close did not close the main window"
# The program must stay with the time-up window for as long as it is open. Qt would end it in the
# same turn of its event loop as the close: a second is ample to see that it does not.
stays() { alive && viewable "$timeup"; }
for _ in $(seq 20); do
    stays || fail "the program ended while its time-up window was open"
    sleep 0.05
done
say "second run: the main window is gone, Time UP and the program remain"
press "$timeup" space ended || wait_for 10 ended ||
    fail "OK on the last window did not end the program"
status=0
wait "$app" || status=$?
[ "$status" -eq 0 ] || fail "the program exited with status $status (second run)"
say "second run: OK on the time-up window ended the program with status 0"
