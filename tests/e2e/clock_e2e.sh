#!/usr/bin/env bash
# The real program while its clock misbehaves: set forward across the alarm, set back after the
# ring, set across midnight, the process stopped across the alarm time, and the two
# daylight-saving changes of Europe/Berlin. The clock is libfaketime's, stepped while the
# program runs; each ring is a Time UP window (closed with its OK, so that a second ring would
# show as a second window) and a sound on a private PulseAudio null sink.
#
# Usage: clock_e2e.sh PATH-TO-alarm-clock
# Every wait is bounded; everything started here is stopped by its PID on the way out.
set -euo pipefail

bin=$(realpath "$1")
source "$(dirname "$0")/../../scripts/xsession.sh"
e2e_name=e2e-clock
source "$(dirname "$0")/driver.sh"
need_tools Xvfb openbox xdotool xprop xwininfo pulseaudio pactl libfaketime

export TZ=Europe/Berlin
start_x_session 1024x768x24 || fail "no X session"
start_pulse

rings=0
# How late a ring may come after the moment it is due: the next tick is at most a second
# away; the rest is the window being mapped, and this script's polling.
late_limit_ms=2250
latencies=()

epoch_ms_of() { date -d "$1" +%s%3N; }

# expect_ring WHAT DUE: DUE (a date) is when the alarm must ring, by the program's clock: not
# before it, and at the latest late_limit_ms after it. Closes the window.
expect_ring() {
    local what=$1 due seen_ms late
    due=$(epoch_ms_of "$2")
    wait_for $((($(epoch_ms_of "$2") - $(fake_epoch_ms)) / 1000 + 10)) timeup_up ||
        fail "$what: no Time UP window"
    seen_ms=$(fake_epoch_ms)
    late=$((seen_ms - due))
    [ "$late" -ge 0 ] || fail "$what: rang ${late#-} ms before $2"
    [ "$late" -le "$late_limit_ms" ] || fail "$what: rang $late ms after $2"
    rings=$((rings + 1))
    latencies+=("$late")
    say "$what: rang $late ms after $2 (by the program's clock)"
    close_timeup
}

# A quiet period (expect_quiet) lasts until a tick after the moment it is about: every tick
# decides afresh whether to ring, so one that read the clock after a close, a step or a new day
# shows that no ring came then, and the next second is a tick like it. A ring is due two seconds
# after a step back: one tick at least reads the clock before the alarm time, which is what arms
# it again, even when the first tick after the step comes a second late. Where the alarm is
# armed already (set and not rung yet, or armed again by a new day or the hour going back), half
# a second is enough.

# Each ring plays its sound once: as many new streams on the sink as rings.
expect_sounds() {
    sounds_match() { [ "$(sounds_played)" -eq "$rings" ]; }
    wait_for 5 sounds_match || fail "$1: $(sounds_played) sounds for $rings rings"
}

# --- forward, back and across midnight -----------------------------------------------------
fake_clock_to "2026-12-07 10:20:00"
start_program
wait_main_window
open_dialog
answer_dialog "10:30"
say "alarm set to 10:30 at $(date -d "@$(($(fake_epoch_ms) / 1000))" +%T)"
expect_quiet "before the alarm"

step_at=$(now_ms)
fake_clock_to "2026-12-07 10:40:00"
wait_for 5 timeup_up || fail "set forward across the alarm: no Time UP window"
step_late=$(($(now_ms) - step_at))
[ "$step_late" -le "$late_limit_ms" ] || fail "set forward: the ring came $step_late ms after the step"
rings=$((rings + 1))
latencies+=("$step_late")
say "set forward from 10:2x to 10:40: rang $step_late ms after the step"
close_timeup
expect_quiet "after the ring, set forward"
expect_sounds "set forward"

fake_clock_to "2026-12-07 10:29:58"
expect_ring "set back to 10:29:58" "2026-12-07 10:30:00"
expect_quiet "after the second ring"
expect_sounds "set back"

# The last second of the day and the first of the next: a new day arms the alarm again, and
# 10:30 is still ahead then.
fake_clock_to "2026-12-07 23:59:59"
expect_quiet "set forward to 23:59:59 and over midnight" "2026-12-08 00:00:00"
fake_clock_to "2026-12-08 10:29:59.5"
expect_ring "the next day" "2026-12-08 10:30:00"
expect_quiet "after the next day's ring"
expect_sounds "across midnight"

# --- stopped across the alarm time, minimised --------------------------------------------
step_clock_to "2026-12-08 10:29:40"
minimise
counting_down() { [[ $(title_of "$main") =~ 秒\ 前$ ]]; }
wait_for 5 counting_down || fail "no countdown title: [$(title_of "$main")]"
# While it is stopped its clock goes on to half a second before the alarm (a stopped program
# reads no clock), and it stays stopped until its clock has passed the alarm second and the one
# after: it never runs in the alarm second, its timer is overdue when it runs again, and a
# program that counted its ticks instead of reading the clock would still count down.
say "minimised, title [$(title_of "$main")]; stopping the program across the alarm"
kill -STOP "$app"
stopped_at=$(now_ms)
fake_clock_to "2026-12-08 10:29:59.5"
past_the_alarm() { [ "$(fake_time_of_day)" -ge $((10 * 3600 + 30 * 60 + 1)) ]; }
wait_for 5 past_the_alarm || fail "the clock did not pass the alarm"
kill -CONT "$app"
resumed_at=$(now_ms)
say "stopped for $((resumed_at - stopped_at)) ms"
# The first tick after resuming puts the title up to date: so many seconds overdue.
overdue_now() {
    local title over
    title=$(title_of "$main")
    [[ $title =~ ^([0-9][0-9])秒\ ｵｰﾊﾞｰ$ ]] || return 1
    over=$(($(fake_time_of_day) - (10 * 3600 + 30 * 60)))
    [ $((over - 10#${BASH_REMATCH[1]})) -ge 0 ] && [ $((over - 10#${BASH_REMATCH[1]})) -le 1 ]
}
wait_for 2 overdue_now || fail "after resuming the title reads [$(title_of "$main")]"
caught_up=$(($(now_ms) - resumed_at))
wait_for 2 timeup_up || fail "no ring after resuming"
resume_late=$(($(now_ms) - resumed_at))
rings=$((rings + 1))
latencies+=("$resume_late")
say "resumed at $(hms "$(fake_time_of_day)"): title [$(title_of "$main")] $caught_up ms after, ring $resume_late ms after"
close_timeup
expect_quiet "after the ring on resuming"
expect_sounds "resumed"
restore

# --- daylight saving -------------------------------------------------------------------------
# Spring: 01:59:59 CET is followed by 03:00:00 CEST. An alarm at 02:30, in the hour that never
# comes, rings at the first second after the gap.
fake_clock_to "2026-03-29 01:59:30 +0100"
open_dialog
answer_dialog "2:30"
expect_quiet "before the spring change"
fake_clock_to "2026-03-29 01:59:59.5 +0100"
expect_ring "spring change over 02:30" "2026-03-29 03:00:00 +0200"
expect_quiet "after the spring ring"
expect_sounds "spring"

# Autumn: 02:59:59 CEST is followed by 02:00:00 CET. The clock reads 02:30 twice, and the
# alarm rings each time, as it would if the clock were set back by an hour.
fake_clock_to "2026-10-25 02:29:58 +0200"
expect_ring "autumn, first 02:30 (CEST)" "2026-10-25 02:30:00 +0200"
fake_clock_to "2026-10-25 02:59:59 +0200"
expect_quiet "autumn, back to 02:00 CET" "2026-10-25 02:00:00 +0100"
fake_clock_to "2026-10-25 02:29:59.5 +0100"
expect_ring "autumn, second 02:30 (CET)" "2026-10-25 02:30:00 +0100"
expect_quiet "after the autumn rings"
expect_sounds "autumn"

stop_program
longest=$(printf '%s\n' "${latencies[@]}" | sort -n | tail -n1)
say "$rings rings, $(sounds_played) sounds, each within $longest ms of its due time; ended with status 0"
