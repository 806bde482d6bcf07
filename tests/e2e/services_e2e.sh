#!/usr/bin/env bash
# The program when the desktop around it is missing or hostile, on the real binary:
# - no display (DISPLAY unset, or naming an X server that is not there): one line on stderr
#   that starts with the program's name, and exit status 2, at once;
# - no window manager (Xvfb alone): it starts, rings with its sound, OK and 閉じる work;
# - no audio server: the Time UP window comes up at the alarm second and the program stays
#   responsive (OK closes it, 閉じる ends it with status 0);
# - MSREMIND.WAV replaced by a directory, a FIFO, a file the program may not read, or a WAV at a
#   rate the sound server refuses: the Time UP window comes up at once and the sound theme's
#   alarm sound plays instead (told apart from the real file and from the program's chime by its
#   length, recorded from the sink); replaced by a 1 GB file: it comes up at once, one sound
#   starts, and memory does not grow with the file;
# - the audio server coming up, restarted and ending while the program runs: a ring without it
#   still comes up at once, and the ring after a server is back is heard; the program ends
#   cleanly.
#
# Usage: services_e2e.sh PATH-TO-alarm-clock
# The program runs from a copy in a scratch folder, so that its sound file can be replaced, and
# with a sound theme made here whose alarm sound is short (a ring waits for its sound to end).
# Two runs of it cover the rings: one without a window manager, where the sound file is replaced
# before each ring, and one with openbox and the unreadable file, where the audio server is
# missing, comes up, restarts and goes. Every wait is bounded; everything started here is
# stopped by its PID on the way out.
set -euo pipefail

bin=$(realpath "$1")
build_dir=$(dirname "$bin")
source_dir=$(realpath "$(dirname "$0")/../..")

source "$source_dir/scripts/xsession.sh"
e2e_name=e2e_missing_services
source "$source_dir/tests/e2e/driver.sh"
need_tools Xvfb openbox xdotool xprop xwininfo pulseaudio pactl parec sox setpriv timeout truncate \
    libfaketime
export TZ=UTC

# The Time UP window must be up this soon after the start of the alarm second (the clock ticks
# just after it; the rest is the script's polling).
max_ring_ms=1000
# A ring with a sound file that is not to be read whole (a directory, a FIFO, the 1 GB file) may
# not add more than this to the program's memory.
max_growth_kb=$((32 * 1024))

# --- the program's copy, with a sound file the script can replace ----------------------------
prog_dir="$work/program"
mkdir "$prog_dir"
cp "$bin" "$prog_dir/"
program="$prog_dir/$(basename "$bin")"
sound_file="$prog_dir/MSREMIND.WAV"
own_sound="$build_dir/MSREMIND.WAV"
[ -f "$own_sound" ] || fail "no MSREMIND.WAV beside $bin"
# The freedesktop theme, as Debian's sound-theme-freedesktop lays it out, with an Ogg Vorbis alarm
# sound of 0.3 s (Debian's lasts 6 s); the only one the program finds.
theme_dir="$work/share/sounds/freedesktop"
theme_sound="$theme_dir/stereo/alarm-clock-elapsed.oga"
mkdir -p "$theme_dir/stereo"
printf '[Sound Theme]\nName=Test\nDirectories=stereo\n\n[stereo]\nOutputProfile=stereo\n' \
    >"$theme_dir/index.theme"
sox -n -r 44100 -c 2 -t ogg "$theme_sound" synth 0.3 square 300-600 vol 0.5 2>/dev/null ||
    fail "sox could not make the theme's sound"
theme_env=(XDG_DATA_DIRS="$work/share")
own_seconds=$(measure_seconds "$own_sound")
theme_seconds=$(measure_seconds "$theme_sound")
chime_seconds=$(measure_seconds "$source_dir/resources/chime.wav")
say "sound lengths: MSREMIND.WAV ${own_seconds}s, the theme's alarm sound ${theme_seconds}s," \
    "the program's chime ${chime_seconds}s"
# Unless they can be told apart, hearing the theme's sound proves nothing.
for other in "$own_seconds" "$chime_seconds"; do
    awk -v a="$other" -v b="$theme_seconds" -v t="$length_tolerance" \
        'BEGIN { d = a - b; exit !(b > 0.2 && (d > 4 * t || -d > 4 * t)) }' ||
        fail "the theme's alarm sound is too alike in length to MSREMIND.WAV or the chime"
done

# le VALUE BYTES: VALUE as that many little-endian bytes.
le() {
    local out='' i
    for ((i = 0; i < $2; i++)); do out+=$(printf '\\x%02x' $(($1 >> (8 * i) & 255))); done
    printf '%b' "$out"
}
# replace_sound KIND: puts that in place of MSREMIND.WAV.
replace_sound() {
    rm -rf "$sound_file"
    case $1 in
    own) cp "$own_sound" "$sound_file" ;;
    directory) mkdir "$sound_file" ;;
    fifo) mkfifo "$sound_file" ;;
    1GB)
        # A valid header announcing a gigabyte of 16-bit mono samples; the rest is a hole.
        local size=$((1 << 30))
        {
            printf RIFF
            le $((size - 8)) 4
            printf 'WAVEfmt '
            le 16 4 && le 1 2 && le 1 2 && le 44100 4 && le 88200 4 && le 2 2 && le 16 2
            printf data
            le $((size - 44)) 4
        } >"$sound_file"
        truncate -s "$size" "$sound_file"
        ;;
    unreadable) cp "$own_sound" "$sound_file" && chmod 000 "$sound_file" ;;
    # A well-formed file at a rate the sound server refuses (it takes up to 768 kHz).
    1MHz) sox -n -r 1000000 -c 1 -b 16 "$sound_file" synth 3 sine 440 ;;
    esac
}

# --- no display -----------------------------------------------------------------------------
# no_display LABEL VAR=VALUE...: runs the program with that environment, and no platform chosen
# for it, as a user's shell would.
no_display() {
    local label=$1 status=0 started
    shift
    started=$(now_ms)
    timeout 30 env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "$@" "$program" \
        >"$work/no-display.out" 2>"$work/no-display.err" || status=$?
    local took=$(($(now_ms) - started)) lines
    lines=$(grep -c '' "$work/no-display.err" || true)
    say "$label: exit status $status after $took ms; stderr: $(head -n1 "$work/no-display.err")"
    [ "$status" -ne 124 ] || fail "$label: still running after 30 s"
    local said
    said=$(cat "$work/no-display.err")
    [ "$status" -eq 2 ] || fail "$label: exit status $status, not 2; stderr: $said"
    [ "$lines" -eq 1 ] || fail "$label: $lines lines on stderr, not one: $said"
    [[ $said == "ｱﾗｰﾑ時計: "?* ]] ||
        fail "$label: the message does not start with the program's name"
    [ ! -s "$work/no-display.out" ] || fail "$label: wrote to stdout: $(cat "$work/no-display.out")"
}

# A display number with neither a socket (in the file system or the abstract namespace) nor a
# lock file: nothing answers there.
dead_display=
for n in $(seq 3900 3999); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ] &&
        ! grep -q "/tmp/.X11-unix/X$n\$" /proc/net/unix 2>/dev/null; then
        dead_display=":$n"
        break
    fi
done
[ -n "$dead_display" ] || fail "no free display number for the missing X server"

replace_sound own
no_display "DISPLAY unset" -u DISPLAY
no_display "DISPLAY=$dead_display (no X server there)" DISPLAY="$dead_display"

# --- ringing, measured ----------------------------------------------------------------------
# ring LABEL [started]: sets an alarm a minute ahead through the dialog, steps the clock to just
# before it and waits for the Time UP window. Sets $ring_ms, how long after the start of the
# alarm second the window was mapped (a ring when the alarm was set would be found at once,
# before the alarm second), and with PulseAudio ($with_sound) $rang, how many sounds the program
# started, and $heard, how long the sound lasted until it ended, or with "started" only until it
# had started (a 1 GB file could play for hours).
with_sound=
ring() {
    local label=$1 until=${2:-ended} alarm_ms alarm_real alarm started
    alarm_ms=$((($(fake_epoch_ms) / 1000 + 60) * 1000))
    alarm=$(hms $((alarm_ms / 1000 % 86400)))
    started=$(now_ms)
    open_dialog
    answer_dialog "$alarm"
    set_alarm_ms=$(($(now_ms) - started))
    if [ -n "$with_sound" ]; then
        played_before=$(sounds_played)
        start_recording
    fi
    # 0.7 s before the alarm second: it rings at the tick of that second, or at the first tick
    # after the step if that comes already in it (the timer armed before the step wakes within
    # a second), which is what max_ring_ms allows for.
    set_offset_ms $((alarm_ms - 700 - $(now_ms)))
    alarm_real=$((alarm_ms - clock_offset_ms))
    wait_for 10 timeup_up || fail "$label: no Time UP window by $(hms "$(fake_time_of_day)")"
    ring_ms=$(($(now_ms) - alarm_real))
    [ "$ring_ms" -ge 0 ] || fail "$label: the Time UP window came up $((-ring_ms)) ms early" \
        "(alarm $alarm, set in $set_alarm_ms ms)"
    [ "$ring_ms" -lt "$max_ring_ms" ] ||
        fail "$label: the Time UP window came up $ring_ms ms into the alarm second"
    [ -n "$with_sound" ] || return 0
    wait_for 10 sound_started || fail "$label: no sound reached the sink"
    [ "$until" = started ] || wait_for 15 sound_over || fail "$label: the sound did not end"
    heard=$(heard_seconds)
    rang=$(($(sounds_played) - played_before))
}
sound_started() { [ "$(sounds_played)" -gt "$played_before" ]; }
# expect_heard LABEL SECONDS WHAT: one sound for the ring, and it lasted SECONDS.
expect_heard() {
    [ "$rang" -eq 1 ] || fail "$1: $rang sounds for one ring"
    heard_as "$2" "$heard" || fail "$1: heard ${heard}s, not $3"
}
# vm_kb FIELD: a memory figure of the program from /proc (VmRSS; VmHWM, its peak), in kB.
vm_kb() {
    local kb
    kb=$(awk -v f="$1:" '$1 == f { print $2 }' "/proc/$app/status")
    [ -n "$kb" ] || fail "no $1 for the program"
    echo "$kb"
}
# stop_cleanly LABEL: 閉じる ends it with status 0, without waiting on a stuck sound thread.
stop_cleanly() {
    local started
    started=$(now_ms)
    stop_program
    say "$1: 閉じる ended the program with status 0 in $(($(now_ms) - started)) ms"
    ! grep -q 'did not end in time' "$work/app.log" || fail "$1: the sound thread hung at the end"
}

start_x_server 1024x768x24 || fail "no X server"
start_pulse
say "Xvfb on $DISPLAY without a window manager; PulseAudio with a null sink"
fake_clock_to "2026-12-07 10:29:30"

# --- no window manager, and the sound file replaced -----------------------------------------
# Nothing manages the windows: no activation, no decorations; the keyboard goes where the
# program or the pointer puts it. The program is the X server's first client: a server resets
# itself when its last client leaves, and refuses connections while it does.
# One ring after another, the file replaced before each: it is read afresh at every ring. Its
# own file first, to show that the theme's sound is told apart from it. What a window manager
# does has nothing to do with how the sound file is read.
with_sound=1
start_program "${theme_env[@]}"
wait_main_window
! xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || fail "a window manager is running"
for kind in own directory fifo 1MHz 1GB; do
    replace_sound "$kind"
    rss_before=$(vm_kb VmRSS)
    peak_before=$(vm_kb VmHWM)
    ring "$kind" "$([ "$kind" != 1GB ] || echo started)"
    rss_after=$(vm_kb VmRSS)
    peak_after=$(vm_kb VmHWM)
    say "$kind: alarm set in $set_alarm_ms ms, Time UP mapped $ring_ms ms into its second;" \
        "$rang sound(s), heard ${heard}s; VmRSS $rss_before -> $rss_after kB," \
        "VmHWM $peak_before -> $peak_after kB"
    case $kind in
    own) expect_heard "own file" "$own_seconds" MSREMIND.WAV ;;
    1GB) [ "$rang" -eq 1 ] || fail "1GB: $rang sounds for one ring" ;;
    *) expect_heard "$kind" "$theme_seconds" "the theme's alarm sound" ;;
    esac
    # A file that is not to be read whole is read no further than its sound needs; the 1 GB
    # file's is a header away, and a program that read it all first had done so by the time its
    # sound started (VmHWM keeps the peak).
    if [[ $kind =~ ^(directory|fifo|1GB)$ ]] &&
        { [ $((rss_after - rss_before)) -gt "$max_growth_kb" ] ||
            [ $((peak_after - peak_before)) -gt "$max_growth_kb" ]; }; then
        fail "$kind: the ring grew the program's memory by over $max_growth_kb kB"
    fi
    close_timeup
done
# And 閉じる while a sound plays: MSREMIND.WAV once more.
replace_sound own
ring "own, playing at the end" started
sound_over && fail "the sound was over before 閉じる"
stop_cleanly "no window manager, replaced sound files, closed while a sound plays"

start_window_manager || fail "no window manager"
say "openbox running"

# --- a sound file the program may not read, and the audio server coming and going -------------
# Root reads every file whatever its mode, so as root the program runs without the capabilities
# that allow it; the same restriction must then fail to read the file.
replace_sound unreadable
restrict=()
if [ "$(id -u)" -eq 0 ]; then
    restrict=(setpriv '--bounding-set=-dac_override,-dac_read_search' --inh-caps=-all)
    "${restrict[@]}" true || fail "setpriv cannot drop the file-access capabilities here"
fi
! "${restrict[@]}" head -c 1 "$sound_file" >/dev/null 2>&1 ||
    fail "the unreadable sound file can still be read"
# The program starts with no audio server at the address it is given, and rings; a server then
# comes up there and the next ring connects to it; that server is replaced by a new one at the
# same address while the program holds its connection, and the next ring must connect anew; and
# the ring after the server has gone must not be held up.
server_gone() {
    ! PULSE_SERVER=$pulse_server PULSE_CLIENTCONFIG="$work/pulse-client.conf" \
        timeout 5 pactl info >/dev/null 2>&1
}
stop_pulse() {
    kill "$pulse_pid"
    wait_for 10 server_gone || fail "pulseaudio did not end"
}
stop_pulse
with_sound=
start_program "${theme_env[@]}" "${restrict[@]}"
wait_main_window
capabilities=$(sed -n 's/^CapEff:\t//p' "/proc/$app/status")
# CAP_DAC_OVERRIDE is bit 1, CAP_DAC_READ_SEARCH bit 2.
[ $((0x$capabilities & 0x6)) -eq 0 ] || fail "the program still has capabilities $capabilities"
ring "no audio server"
say "no audio server: alarm set in $set_alarm_ms ms, Time UP mapped $ring_ms ms into its second"
close_timeup
say "no audio server: OK closed the Time UP window"

start_pulse
with_sound=1
ring unreadable
say "unreadable (mode $(stat -c %a "$sound_file"), capabilities $capabilities), the audio server" \
    "up: alarm set in $set_alarm_ms ms, Time UP mapped $ring_ms ms into its second;" \
    "$rang sound(s), heard ${heard}s"
expect_heard unreadable "$theme_seconds" "the theme's alarm sound"
close_timeup

stop_pulse
start_pulse
ring "audio server restarted"
say "audio server restarted: alarm set in $set_alarm_ms ms, Time UP mapped $ring_ms ms into its" \
    "second; $rang sound(s), heard ${heard}s"
expect_heard "audio server restarted" "$theme_seconds" "the theme's alarm sound"
close_timeup

stop_pulse
with_sound=
ring "audio server gone"
say "audio server gone: alarm set in $set_alarm_ms ms, Time UP mapped $ring_ms ms into its second"
close_timeup
stop_cleanly "no audio server, unreadable, then the audio server up, restarted and gone"
say "PASS"
