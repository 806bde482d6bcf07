# Sourced by the end-to-end scripts, the screenshot and the package test, after
# scripts/xsession.sh (set e2e_name first): runs the real program on the private X server with a
# clock the script can set and step, a private PulseAudio, and works its windows the way a user
# does from the keyboard (xdotool keys).

e2e_name=${e2e_name:-e2e}
say() { echo "$e2e_name: $*"; }
fail() {
    echo "$e2e_name: FAIL: $*" >&2
    # What the screen showed and what the program was doing, for the one reading the failure.
    [ -n "${DISPLAY:-}" ] && import -window root "$PWD/$e2e_name-failure.png" 2>/dev/null &&
        echo "$e2e_name: the screen at the failure: $PWD/$e2e_name-failure.png" >&2
    # Not in a pipeline: a subshell could not collect the program's exit status.
    program_state >"$work/state" 2>&1 || true
    sed "s/^/$e2e_name: /" "$work/state" >&2
    exit 1
}
# program_state: whether the program runs, and if so what each of its threads waits in (and
# their stacks, where gdb may attach), or else how it ended; then the end of its output, which
# has a line for each ring decision.
program_state() {
    local task status
    if [ -z "${app:-}" ]; then
        echo "the program was not started"
    elif alive; then
        echo "the program runs (pid $app); its threads:"
        for task in /proc/"$app"/task/*; do
            echo "  $(cat "$task/comm" 2>/dev/null) state $(cut -d' ' -f3 "$task/stat" 2>/dev/null)" \
                "waiting in $(cat "$task/wchan" 2>/dev/null)"
        done
        command -v gdb >/dev/null &&
            timeout 20 gdb -p "$app" -batch -ex "thread apply all bt 12" 2>/dev/null |
            grep -E '^(Thread|#)' | sed 's/^/  gdb: /'
    else
        status=0
        wait "$app" 2>/dev/null || status=$?
        if [ "$status" -gt 128 ]; then
            echo "the program has ended, killed by SIG$(kill -l "$status" 2>/dev/null || echo "$status")"
        else
            echo "the program has ended with status $status"
        fi
    fi
    [ -s "$work/app.log" ] && tail -n 60 "$work/app.log" | sed 's/^/program: /'
}

# need_tools TOOL...: the commands, and libfaketime when named as such.
need_tools() {
    local tool
    for tool in "$@"; do
        if [ "$tool" = libfaketime ]; then
            [ -n "$faketime_lib" ] || fail "libfaketime is missing (Debian package faketime)"
        else
            command -v "$tool" >/dev/null || fail "$tool is missing (make deps-test installs it)"
        fi
    done
}
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/faketime.sh"

# --- the clock ------------------------------------------------------------------------------
# The program's wall clock is the real one plus an offset that libfaketime reads from a file on
# every clock reading, so the script can step it while the program runs. Qt's timers keep the
# real monotonic clock, as they do when a real clock is stepped.
clock_file="$work/faketime"
clock_offset_ms=0
set_offset_ms() {
    clock_offset_ms=$1
    local sign=+ ms=$1
    [ "$ms" -lt 0 ] && sign=- && ms=$((-ms))
    printf '%s%d.%03d\n' "$sign" $((ms / 1000)) $((ms % 1000)) >"$clock_file.new"
    mv "$clock_file.new" "$clock_file"
}
set_offset_ms 0
fake_epoch_ms() { echo $(($(now_ms) + clock_offset_ms)); }
# fake_clock_to DATE: the program's clock reads DATE (anything `date -d` takes, in the TZ of
# the script) from now on, running on from there.
fake_clock_to() {
    local target
    target=$(date -d "$1" +%s%3N) || fail "not a date: $1"
    set_offset_ms $((target - $(now_ms)))
}
# step_clock_to DATE: fake_clock_to while the program runs, returning once a tick has shown
# the new time (tick_shown), so that the program has seen it before the script goes on.
step_clock_to() {
    local timeup_before
    timeup_before=$(find_window "Time UP" || true)
    fake_clock_to "$1"
    tick_shown "$timeup_before"
}
# The program's time of day in whole seconds (local, in the TZ of the script).
fake_time_of_day() {
    local t
    t=$(date -d "@$(($(fake_epoch_ms) / 1000))" +%H:%M:%S)
    echo $((10#${t:0:2} * 3600 + 10#${t:3:2} * 60 + 10#${t:6:2}))
}
hms() { printf '%02d:%02d:%02d' $(($1 / 3600 % 24)) $(($1 / 60 % 60)) $(($1 % 60)); }

# --- sound ------------------------------------------------------------------------------------
# No audio server unless start_pulse is called ($pulse_pid); then the program plays into a null
# sink and every sound it starts is a new stream there.
printf 'autospawn = no\n' >"$work/pulse-client.conf"
pulse_server="unix:$work/run/no-such-pulse"
start_pulse() {
    start_sound_server e2e:44100 || fail "pulseaudio did not come up"
    PULSE_SERVER=$pulse_server PULSE_CLIENTCONFIG="$work/pulse-client.conf" \
        pactl subscribe >"$work/pulse-events" 2>&1 &
    pids+=($!)
    # Counting from the moment it is a client of the server: it and the pactl that asks.
    subscribed() {
        [ "$(PULSE_SERVER=$pulse_server PULSE_CLIENTCONFIG="$work/pulse-client.conf" \
            pactl list short clients 2>/dev/null | grep -c 'pactl$')" -ge 2 ]
    }
    wait_for 5 subscribed || fail "pactl subscribe did not start"
}
# How many sounds the program has started on the null sink so far, and how many have ended.
sounds_played() { grep -c "'new' on sink-input" "$work/pulse-events" 2>/dev/null || true; }
sounds_ended() { grep -c "'remove' on sink-input" "$work/pulse-events" 2>/dev/null || true; }
sound_over() { [ "$(sounds_ended)" -ge "$(sounds_played)" ]; }

# start_recording: records what reaches the null sink until heard_seconds, which prints how long
# the sound lasted from the first loud sample (over 3 % of full scale) to the last; 0 for none.
# measure_seconds [SOX-FORMAT-OPTION...] FILE prints the same for a sound file.
start_recording() {
    PULSE_SERVER=$pulse_server PULSE_CLIENTCONFIG="$work/pulse-client.conf" \
        parec --device=e2e.monitor --format=s16le --channels=1 --rate=44100 --raw \
        --latency-msec=10 >"$work/recording.raw" 2>"$work/parec.log" &
    recorder=$!
    pids+=("$recorder")
    wait_for 5 recording || fail "parec did not start recording: $(cat "$work/parec.log")"
}
recording() {
    PULSE_SERVER=$pulse_server PULSE_CLIENTCONFIG="$work/pulse-client.conf" \
        pactl list short source-outputs 2>/dev/null | grep -q .
}
measure_seconds() {
    local length
    length=$(sox "$@" -n silence 1 1s 3% reverse silence 1 1s 3% reverse stat 2>&1 |
        sed -n 's/^Length (seconds): *//p')
    echo "${length:-0}"
}
heard_seconds() {
    # What the sink has played reaches the recording a little later: a tenth of a second more of
    # it (at 88200 bytes a second), and the end of the sound is in the file.
    local wanted=$(($(stat -c %s "$work/recording.raw") + 8820))
    recorded_on() { [ "$(stat -c %s "$work/recording.raw")" -ge "$wanted" ]; }
    wait_for 5 recorded_on || fail "the recording stopped: $(cat "$work/parec.log")"
    kill -INT "$recorder" 2>/dev/null || true
    wait "$recorder" 2>/dev/null || true
    measure_seconds -t raw -r 44100 -e signed -b 16 -c 1 "$work/recording.raw"
}
# heard_as SECONDS HEARD: whether what was heard lasted SECONDS, give or take $length_tolerance.
length_tolerance=0.2
heard_as() {
    awk -v a="$2" -v b="$1" -v t="$length_tolerance" 'BEGIN { exit !(a - b <= t && b - a <= t) }'
}

# --- the program ----------------------------------------------------------------------------
# start_program [VAR=VALUE...] [COMMAND ARG...]: starts it in the background ($app, output in
# $work/app.log); extra variables go to its environment, and a command that execs its last
# argument (setpriv, say) runs it. $program may name another copy of the binary.
start_program() {
    local clock_env
    mapfile -t clock_env < <(program_env "$clock_file")
    # Its log says what each tick decided (qCDebug), at what time by its own clock.
    env "${clock_env[@]}" PULSE_SERVER="$pulse_server" PULSE_CLIENTCONFIG="$work/pulse-client.conf" \
        QT_LOGGING_RULES="alarmclock.*.debug=true" \
        QT_MESSAGE_PATTERN="%{time hh:mm:ss.zzz} %{category}: %{message}" \
        "$@" "${program:-$bin}" >"$work/app.log" 2>&1 &
    app=$!
    pids+=("$app")
}
# Not once it has ended, though this shell has not collected its status yet.
alive() { kill -0 "$app" 2>/dev/null && ! grep -qs '^State:.*zombie' "/proc/$app/status"; }
window_appears() { alive && find_window "$1" >/dev/null; }
# wait_main_window: waits for the main window and sets $main.
wait_main_window() {
    wait_for 30 window_appears "ｱﾗｰﾑ時計" || fail "the main window did not appear"
    main=$(find_window "ｱﾗｰﾑ時計")
    main_focus=set
}

# activate WINDOW: asks the window manager to activate it and waits a little for that. xdotool's
# own wait gives up only after 15 s, for instance on a window that a modal dialog blocks.
activate() { timeout 3 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true; }
active_is() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
# press WINDOW KEYS CHECK...: activates the window (without a window manager, gives it the
# keyboard), presses the keys (xdotool's names, in one word) and waits until CHECK holds. The keys
# go once only: a second Tab would move the focus on.
press() {
    local window=$1 keys=$2
    shift 2
    if [[ $(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null) == *"window id"* ]]; then
        activate "$window"
    else
        xdotool windowfocus --sync "$window" 2>/dev/null || true
    fi
    wait_for 5 has_focus "$window" || return 1
    xdotool key $keys
    wait_for 10 "$@"
}
# The main window's buttons, in tab order ｱﾗｰﾑｾｯﾄ, ﾀｽｸﾊﾞｰへ (only while an alarm is set) and
# 閉じる; space presses the one with the focus. The focus starts on ｱﾗｰﾑｾｯﾄ and stays on the
# button pressed last: $main_focus, set or taskbar.
# press_main BUTTON CHECK...: moves the focus to BUTTON (set, taskbar or close) and presses it.
press_main() {
    local keys=space
    case $main_focus:$1 in
    set:taskbar | taskbar:close) keys="Tab space" ;;
    set:close | taskbar:set) keys="shift+Tab space" ;;
    esac
    main_focus=$1
    shift
    press "$main" "$keys" "$@"
}

minimised() { state_of "$main" | grep -q _NET_WM_STATE_HIDDEN; }
# minimise: presses ﾀｽｸﾊﾞｰへ, which minimises the main window.
minimise() { press_main taskbar minimised || fail "ﾀｽｸﾊﾞｰへ did not minimise the main window"; }
# restore: activates the main window and waits until it is minimised no more.
restore() {
    xdotool windowactivate "$main" 2>/dev/null || true
    not_minimised() { ! minimised; }
    wait_for 5 not_minimised || fail "the main window did not come back"
}

dialog_gone() { ! viewable "$dialog"; }
# open_dialog: presses ｱﾗｰﾑｾｯﾄ and sets $dialog.
open_dialog() {
    press_main set window_appears "ｱﾗｰﾑ時刻設定" || fail "the set-time dialog did not open"
    dialog=$(find_window "ｱﾗｰﾑ時刻設定")
}
# answer_dialog TEXT [NOTE]: in the open dialog, types TEXT over the proposal (and NOTE into the
# note) and presses Enter. The dialog opens with the focus in the time; the note is three tabs on
# (OK, cancel, note). OK arms the alarm there and then, before any tick.
answer_dialog() {
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 20 "$1"
    if [ -n "${2:-}" ]; then
        xdotool key Tab Tab Tab
        xdotool type --delay 40 "$2"
    fi
    xdotool key Return
    wait_for 10 dialog_gone || fail "the set-time dialog did not close on Enter"
}
# set_alarm TEXT [NOTE]: open_dialog and answer_dialog, returning once a tick has seen the new
# alarm, when the main window shows it too.
set_alarm() {
    local timeup_before
    timeup_before=$(find_window "Time UP" || true)
    open_dialog
    answer_dialog "$@"
    tick_shown "$timeup_before"
}

# What the program shows of its clock: the countdown title while minimised, otherwise the main
# window's picture, in which nothing but the clock label changes by itself. Fails while neither
# can be read (a window between minimised and mapped again).
clock_face() {
    if minimised; then
        title_of "$main"
    else
        xwd -silent -id "$main" 2>/dev/null | md5sum
    fi
}
# tick_shown [TIMEUP]: waits until a tick that read the clock after this call has shown the time
# (the second change of the clock face: the first may come from a tick just before the call), or
# until the program has rung (a Time UP window other than TIMEUP, the one up before the change).
tick_shown() {
    local face= seen changes=0 timeup_before=${1-$(find_window "Time UP" || true)}
    local end=$(($(now_ms) + 10000))
    while [ "$changes" -lt 2 ]; do
        alive || fail "the program ended"
        [ "$(now_ms)" -lt "$end" ] || fail "no tick showed the time within 10 s"
        seen=$(find_window "Time UP" || true)
        [ -n "$seen" ] && [ "$seen" != "$timeup_before" ] && return 0
        if seen=$(clock_face); then
            if [ -z "$face" ]; then
                face=$seen
            elif [ "$seen" != "$face" ]; then
                face=$seen
                changes=$((changes + 1))
            fi
        fi
        sleep 0.02
    done
}
# expect_quiet WHAT [DATE]: fails if the program rings up to DATE by its clock (now when not
# given): waits until its clock has passed DATE and then for a tick after that (tick_shown), by
# which a ring at DATE would have mapped its Time UP window.
expect_quiet() {
    local what=$1 due
    due=$(fake_epoch_ms)
    [ -z "${2:-}" ] || due=$(date -d "$2" +%s%3N) || fail "not a date: $2"
    clock_past() { [ "$(fake_epoch_ms)" -ge "$due" ]; }
    wait_for $(((due - $(fake_epoch_ms)) / 1000 + 5)) clock_past || fail "$what: the clock stopped"
    ! timeup_up || fail "$what: an unexpected ring by $(hms "$(fake_time_of_day)")"
    tick_shown ""
    ! timeup_up || fail "$what: an unexpected ring by $(hms "$(fake_time_of_day)")"
}

timeup_up() { alive && timeup=$(find_window "Time UP"); }
# wait_for_timeup SECONDS: waits for a time-up window and sets $timeup.
wait_for_timeup() { wait_for "$1" timeup_up; }
timeup_gone() { ! viewable "$timeup"; }
# close_timeup: presses its OK, the one control that takes the focus.
close_timeup() { press "$timeup" space timeup_gone || fail "OK did not close the Time UP window"; }

ended() { ! alive; }
# stop_program: presses 閉じる and fails unless the program ends with status 0.
stop_program() {
    press_main close ended || wait_for 20 ended || fail "閉じる did not end the program"
    local status=0
    wait "$app" || status=$?
    [ "$status" -eq 0 ] || fail "the program exited with status $status"
}

# attention_of WINDOW: on when it asks for attention as the panels read it, by
# _NET_WM_STATE_DEMANDS_ATTENTION alone; off when it does not ask; "urgent" when it also (or only)
# sets the urgency hint, which GNOME Shell would show as a second notification.
attention_of() {
    local urgent=0 demands=0
    xprop -id "$1" WM_HINTS 2>/dev/null | grep -qi urgency && urgent=1
    state_of "$1" | grep -q _NET_WM_STATE_DEMANDS_ATTENTION && demands=1
    case $urgent$demands in
    01) echo on ;;
    00) echo off ;;
    *) echo urgent ;;
    esac
}
