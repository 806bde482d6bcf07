#!/usr/bin/env bash
# A long session with the real binary under LeakSanitizer: the set-time dialog opened and
# answered again and again from the keyboard (OK on the proposal, on a typed time, with a note,
# on a wrong time and its message box; cancel, also after typing), and the alarm rung again and
# again by stepping the clock back before it, with its sound and then with the sound server
# gone. Every ring must bring up one Time UP window (and one sound while there is a server), and
# nothing may ring in between; the resident memory may not grow with the cycles; the program
# must end through 閉じる with status 0 and no sanitizer report.
#
# How many cycles: LeakSanitizer reports whatever nothing points to any more, for which one cycle
# of each kind (the first round) is enough. What the program keeps for good (a dialog never
# deleted, a cache that grows with each dialog or ring) shows as resident size growing with the
# cycles: read after each round of ten dialog cycles and after each ring, its growth is the slope
# of a line fitted through the readings, known to about 6 kB a round over 4 rounds and 0.8 kB a
# ring over 8 rings (2 cores, AddressSanitizer). A healthy program grows by 3 to 18 kB a round and
# up to 10 kB a ring; a Time UP window with a palette of its own (its button cached anew each
# time) by 23 kB a ring, a dialog never deleted by 2 MB a round. With the sound, the sound library
# and the allocator take 30 to 40 rings to settle, too long to tell a fault by: the memory is read
# on the rings after the sound server has gone.
#
# Usage: longrun_e2e.sh PATH-TO-alarm-clock
# LONGRUN_ROUNDS, LONGRUN_SOUND_RINGS and LONGRUN_RINGS change the counts while working on the
# script. Every wait is bounded; everything started here is stopped by its PID on the way out.
set -euo pipefail

bin=$(realpath "$1")
rounds=${LONGRUN_ROUNDS:-4}
sound_rings=${LONGRUN_SOUND_RINGS:-4}
rings=${LONGRUN_RINGS:-8}
# The most the resident size may grow by in a round of ten dialog cycles: three times the most a
# healthy program grew by, and seven times the slope's uncertainty above it. And in a ring:
# midway between a healthy program's 10 kB and the 23 kB of a cache filled anew by each ring,
# each some eight times the slope's uncertainty away.
max_round_kb=60
max_ring_kb=16
day=2026-12-07
morning="$day 03:00:00"
alarm=12:00
just_before=11:59:59.900
note=Ring
# Typed for OK: all after the morning, so none of them rings while the dialog cycles run.
typed_times=(7:45 23:59 12:34 3:30 18:05)

source "$(dirname "$0")/../../scripts/xsession.sh"
e2e_name=e2e_long_run
source "$(dirname "$0")/driver.sh"
need_tools Xvfb openbox xdotool xprop xwininfo pulseaudio pactl libfaketime
((rounds >= 3 && rings >= 3 && sound_rings >= 1)) || fail "at least 3 rounds, 3 rings and 1 with sound"

export TZ=UTC
started_ms=$(now_ms)
start_x_session 1024x768x24 || fail "no X session"
start_pulse
fake_clock_to "$morning"

# AddressSanitizer's quarantine of freed blocks, its slow return of free pages and its store of
# call stacks (which, through libraries without frame pointers, differ nearly every time) would
# grow the resident size leak or not. Without quarantine, with pages returned at once and stacks
# cut to the allocating function, which a leak report must name, it follows what the program holds.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=0:thread_local_quarantine_size_kb=0"
ASAN_OPTIONS+=":allocator_release_to_os_interval_ms=0:malloc_context_size=2"
start_program
wait_main_window
say "main window $main is up; a first round, then $rounds rounds of ten dialog cycles," \
    "$sound_rings rings with sound and $rings without"

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$app/status"; }

# focused [WORD...]: runs xdotool's WORDs (keys to press, say) and then reads the active window,
# all in one call of xdotool, and sets $focus_id and $focus_name. This runs thousands of times,
# and each process costs tens of milliseconds on a busy machine.
focused() {
    local out
    alive || fail "the program ended"
    focus_id=
    focus_name=
    out=$(xdotool "$@" getactivewindow getwindowgeometry getwindowname 2>/dev/null) || return 1
    focus_id=${out%%$'\n'*}
    focus_id=${focus_id#Window }
    focus_name=${out##*$'\n'}
}
is_main() { [ "$focus_id" = "$main" ]; }
is_dialog() { [ "$focus_name" = "ｱﾗｰﾑ時刻設定" ] && dialog=$focus_id; }
# The message box carries the main window's title.
is_box() { [ "$focus_name" = "ｱﾗｰﾑ時計" ] && [ "$focus_id" != "$main" ] && box=$focus_id; }
focused_on() { focused && "$1"; }
box_gone() { ! viewable "$box"; }

# press_keys CHECK WHAT KEY...: presses the keys and waits until the active window passes CHECK
# (is_main, is_dialog or is_box). The first look comes in the same call of xdotool, a moment
# after the keys: about as long as the program takes to map a window, or less when the keys
# close one and the main window only has to get the focus back.
press_keys() {
    local check=$1 what=$2 pause=0.05
    shift 2
    [ "$check" != is_main ] || pause=0.02
    focused key --delay 5 "$@" sleep "$pause" || true
    "$check" || wait_for 10 focused_on "$check" || fail "$what (the focus is on [$focus_name])"
}
# answer I KEY...: in the set-time dialog, presses the keys, which must close it and give the
# focus back to the main window.
answer() {
    local i=$1
    shift
    press_keys is_main "cycle $i: [$*] did not give the focus back to the main window" "$@"
    wait_for 10 dialog_gone || fail "cycle $i: [$*] did not close the set-time dialog"
}
# as_keys TEXT: the keys that type TEXT (letters, digits and colons).
as_keys() {
    local i c
    for ((i = 0; i < ${#1}; i++)); do
        c=${1:i:1}
        [ "$c" = : ] && echo colon || echo "$c"
    done
}
# open_by_enter I: the focus rests on ｱﾗｰﾑｾｯﾄ, so Enter opens the dialog. It opens with the
# time selected, so typing replaces it; Enter is OK, Esc is cancel, and the note is three tabs on.
open_by_enter() {
    press_keys is_dialog "cycle $1: Enter on ｱﾗｰﾑｾｯﾄ did not open the set-time dialog" Return
}
# cycle I: one opening of the dialog and its answer, of the kind I picks.
cycle() {
    local i=$1
    local typed=${typed_times[$((i / 10 % ${#typed_times[@]}))]}
    open_by_enter "$i"
    case $((i % 10)) in
        1)
            press_keys is_box "cycle $i: no message box for a wrong time" a b c Return
            wait_for 10 dialog_gone || fail "cycle $i: the set-time dialog stayed with the box"
            press_keys is_main "cycle $i: Enter on the box did not give the focus back" Return
            wait_for 10 box_gone || fail "cycle $i: Enter did not close the message box"
            ;;
        3) answer "$i" $(as_keys "$typed") Return ;;
        5 | 9) answer "$i" Return ;;
        7) answer "$i" $(as_keys "$typed") Tab Tab Tab ctrl+a $(as_keys "n$i") Return ;;
        4) answer "$i" $(as_keys 9:99) Escape ;;
        *) answer "$i" Escape ;;
    esac
}
# set_alarm_cycle I: a cycle that sets the alarm and its note for the rings.
set_alarm_cycle() {
    open_by_enter "$1"
    answer "$1" $(as_keys "$alarm") Tab Tab Tab ctrl+a $(as_keys "$note") Return
}

# ﾀｽｸﾊﾞｰへ from the keyboard: one tab on from ｱﾗｰﾑｾｯﾄ.
minimise_by_keys() {
    xdotool key Tab Return
    main_focus=taskbar
    wait_for 10 minimised || fail "ﾀｽｸﾊﾞｰへ did not minimise the main window"
}
# Back from the taskbar, with the focus on ｱﾗｰﾑｾｯﾄ again.
restore_with_focus() {
    activate "$main"
    wait_for 10 focused_on is_main || fail "the main window did not come back from the taskbar"
    ! minimised || fail "the main window is still minimised"
    xdotool key shift+Tab
    main_focus=set
}

timeups_shown() { xdotool search --onlyvisible --name '^Time UP$' 2>/dev/null || true; }
timeup_shown() { alive && timeup=$(timeups_shown) && [ -n "$timeup" ]; }
counting_down() {
    alive || fail "the program ended"
    [[ $(title_of "$main") =~ ^0[1-9]秒\ 前\ 【$note】$ ]]
}
sounds_at_least() { [ "$(sounds_played)" -ge "$1" ]; }
windows=0
previous=
# ring R: the clock goes back a few seconds before the alarm; the minimised window's title
# counting down proves that a tick ran before the alarm time, which is what arms it again.
# Then the clock goes to just before the alarm time and runs into it: one Time UP window, new,
# and one sound while there is a sound server ($pulse_pid); OK closes the window.
ring() {
    local r=$1
    [ -z "$(timeups_shown)" ] || fail "ring $r: a Time UP window is up before the ring"
    fake_clock_to "$day $alarm:00 5 seconds ago"
    wait_for 5 counting_down || fail "ring $r: no countdown after the step: $(title_of "$main")"
    fake_clock_to "$day $just_before"
    wait_for 5 timeup_shown || fail "ring $r: no Time UP window by $(hms "$(fake_time_of_day)")"
    [[ $timeup != *$'\n'* ]] || fail "ring $r: more than one Time UP window: $timeup"
    [ "$timeup" != "$previous" ] || fail "ring $r: the Time UP window of the ring before came back"
    previous=$timeup
    windows=$((windows + 1))
    if [ -n "$pulse_pid" ]; then
        wait_for 5 sounds_at_least "$r" || fail "ring $r: no sound (sounds so far: $(sounds_played))"
        [ "$(sounds_played)" -eq "$r" ] || fail "ring $r: $(sounds_played) sounds"
    fi
    close_timeup
}

# slope_kb X:Y...: the least-squares slope of Y over X.
slope_kb() {
    printf '%s\n' "$@" | awk -F: '{ x[NR] = $1; y[NR] = $2; sx += $1; sy += $2 }
        END { mx = sx / NR; my = sy / NR
              for (i = 1; i <= NR; i++) { sxy += (x[i] - mx) * (y[i] - my); sxx += (x[i] - mx) ^ 2 }
              printf "%.1f\n", sxy / sxx }'
}

# --- the first round: a cycle of each kind and a ring -------------------------------------------
# What the program loads once happens here: the message box's font, the sound output (readied by
# the first time accepted) and the first sound. The memory is read after it.
wait_for 10 focused_on is_main || fail "the main window does not have the focus"
for ((i = 1; i <= 10; i++)); do cycle "$i"; done
set_alarm_cycle 11
minimise_by_keys
ring 1
restore_with_focus
step_clock_to "$morning"
wait_for 10 sound_over || fail "the first ring's sound did not end"
rss_first=$(rss_kb)
say "after the first round (11 dialog cycles and a ring): RSS $rss_first kB"

# --- the set-time dialog ----------------------------------------------------------------------
cycles_ms=$(now_ms)
dialog_rss=()
for ((round = 2; round <= rounds + 1; round++)); do
    for ((i = round * 10; i < round * 10 + 10; i++)); do cycle "$i"; done
    dialog_rss+=("$round:$(rss_kb)")
done
round_kb=$(slope_kb "${dialog_rss[@]}")
say "$((rounds * 10)) more dialog cycles in $((($(now_ms) - cycles_ms) / 1000)) s; RSS after" \
    "each ten: ${dialog_rss[*]#*:} kB, $round_kb kB more a round (at most $max_round_kb)"
awk -v a="$round_kb" -v b="$max_round_kb" 'BEGIN { exit !(a <= b) }' ||
    fail "the resident size grew by $round_kb kB a round of ten dialog cycles"
set_alarm_cycle "$i"
[ "$(sounds_played)" -eq 1 ] || fail "$(sounds_played) sounds after one ring"

# --- the rings --------------------------------------------------------------------------------
minimise_by_keys
rings_ms=$(now_ms)
for ((r = 2; r <= sound_rings + 1; r++)); do ring "$r"; done
sounds=$(sounds_played)
say "$sound_rings more rings with sound in $((($(now_ms) - rings_ms) / 1000)) s: $windows Time UP" \
    "windows, $sounds sounds"
[ "$sounds" -eq $((sound_rings + 1)) ] || fail "$sounds sounds for $((sound_rings + 1)) rings"
kill "$pulse_pid"
wait "$pulse_pid" 2>/dev/null || true
pulse_pid=
# The first ring without a server is where the program finds it gone: the readings start after.
ring "$r"
rings_ms=$(now_ms)
ring_rss=()
for ((r = r + 1; r <= sound_rings + rings + 2; r++)); do
    ring "$r"
    ring_rss+=("$r:$(rss_kb)")
done
expect_quiet "after the last ring"
ring_kb=$(slope_kb "${ring_rss[@]}")
say "$rings more rings without a sound server in $((($(now_ms) - rings_ms) / 1000)) s: RSS after" \
    "each: ${ring_rss[*]#*:} kB, $ring_kb kB more a ring (at most $max_ring_kb)"
[ "$windows" -eq $((sound_rings + rings + 2)) ] ||
    fail "$windows Time UP windows for $((sound_rings + rings + 2)) rings"
awk -v a="$ring_kb" -v b="$max_ring_kb" 'BEGIN { exit !(a <= b) }' ||
    fail "the resident size grew by $ring_kb kB a ring"

# --- the end ----------------------------------------------------------------------------------
stop_program
! grep -E "LeakSanitizer|ERROR: AddressSanitizer|runtime error" "$work/app.log" ||
    fail "a sanitizer reported"
say "閉じる ended the program with status 0 and no sanitizer report;" \
    "$((($(now_ms) - started_ms) / 1000)) s in all"
