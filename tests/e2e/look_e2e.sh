#!/usr/bin/env bash
# The program on the desktops its users run: openbox, metacity, GNOME's mutter and KDE's KWin on
# X11, each on two monitors of different sizes, and mutter and KWin as Wayland sessions, where the
# program goes through Xwayland. In each round:
# - the frames as the user sees them (client area plus _NET_FRAME_EXTENTS) centred within 2 px:
#   the main window and Time UP on the primary monitor, the set-time dialog over the main window;
# - the main window's colours from its pixels: under the standard scheme the ones it always had,
#   under a dark one (qt6ct's "darker") readable at 4.5:1 or more (WCAG AA);
# - the ring, set through the dialog: Time UP in the alarm's second (its tick's log says so) and
#   kept above. On X11 while the user types into another program (ten keys a second, spaces and
#   Returns among them): Time UP stays until the mouse answers it, the keys reach that program,
#   and nothing of this program changes. Over a full-screen program (mutter and KWin keep it above
#   windows kept above) Time UP comes up above it with the keyboard, and only Enter after the
#   typing has stopped answers it.
# A failed check does not end the run: the verdict comes at the end, with every figure shown.
#
# Usage: look_e2e.sh PATH-TO-alarm-clock
set -euo pipefail

bin=$(realpath "$1")
source "$(dirname "$0")/../../scripts/xsession.sh"
e2e_name=e2e-look
source "$(dirname "$0")/driver.sh"
need_tools Xvfb Xorg Xwayland openbox metacity mutter kwin_x11 kwin_wayland dbus-daemon xev \
    xdotool xprop xwininfo xwd convert import wmctrl python3
[ -n "$faketime_lib" ] || fail "libfaketime is missing (Debian package faketime)"
qt6ct_plugin=$(ls /usr/lib/*/qt6/plugins/platformthemes/libqt6ct.so 2>/dev/null | head -n1)
[ -n "$qt6ct_plugin" ] || fail "qt6ct is missing (Debian package qt6ct)"
export TZ=UTC

# flunk MESSAGE: a failed check, counted for the verdict at the end.
problems=()
flunk() {
    say "FAIL: $*"
    problems+=("$*")
}

# The user's choice of the dark scheme, as qt6ct's settings dialog writes it.
mkdir -p "$work/config/qt6ct"
printf '[Appearance]\ncolor_scheme_path=%s\ncustom_palette=true\nstyle=Fusion\n' \
    /usr/share/qt6ct/colors/darker.conf >"$work/config/qt6ct/qt6ct.conf"
dark_scheme=(QT_QPA_PLATFORMTHEME=qt6ct XDG_CONFIG_HOME="$work/config")

# look_at SCHEME FILE: the window's background and, for each label (its place in twips, 15 to
# the pixel), the colour most common inside its border, taken as its background, and its text:
# of the colours that cover at least 3 pixels, the one farthest from that background in
# luminance (anti-aliased edges are blends of the two and lie in between). One line for each
# finding, PASS or FAIL first.
look_at() {
    convert "$2" -depth 8 ppm:- | python3 -c '
import re, sys
from collections import Counter
scheme, ppm = sys.argv[1], sys.stdin.buffer.read()
head = re.match(rb"P6\s+(?:#.*\s+)*(\d+)\s+(\d+)\s+255\s", ppm)
width, pixels = int(head[1]), ppm[head.end():]
def colours(x, y, w, h):
    return Counter(tuple(pixels[i:i + 3]) for row in range(y, y + h)
                   for i in range(3 * (width * row + x), 3 * (width * row + x + w), 3))
def luminance(c):
    c = [v / 255 for v in c]
    c = [v / 12.92 if v <= 0.03928 else ((v + 0.055) / 1.055) ** 2.4 for v in c]
    return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2]
def contrast(a, b):
    a, b = sorted((luminance(a), luminance(b)))
    return (b + 0.05) / (a + 0.05)
def verdict(ok, text):
    print("PASS" if ok else "FAIL", text)
window = colours(0, 0, width, len(pixels) // 3 // width).most_common(1)[0][0]
dark = luminance(window) < 0.2
verdict(dark == (scheme == "dark"), f"window background {window} ({scheme} scheme)")
labels = {"lblTime": ((180, 120, 1455, 345), (255, 255, 0), (0, 0, 0)),
          "lblAlarm": ((180, 1020, 1215, 315), (0, 0, 0), (192, 192, 192)),
          "lblYouken": ((180, 1380, 3135, 315), (64, 64, 64), (192, 192, 192))}
for name, (twips, text0, back0) in labels.items():
    x, y, w, h = (t // 15 for t in twips)
    seen = colours(x + 2, y + 2, w - 4, h - 4)
    back = seen.most_common(1)[0][0]
    text = max((c for c, n in seen.items() if n >= 3),
               key=lambda c: abs(luminance(c) - luminance(back)))
    ratio = contrast(text, back)
    said = f"{name}: text {text} on {back}, contrast {ratio:.2f}:1"
    if scheme == "dark":
        verdict(ratio >= 4.5, said + " (at least 4.5:1)")
    else:
        verdict((text, back) == (text0, back0), said + f" (as always: {text0} on {back0})")
' "$1"
}

# frame_of WINDOW: the window's frame as the user sees it, "x y width height"; fails while the
# window manager has not framed it.
frame_of() {
    local info x y w h left right top bottom
    info=$(xwininfo -id "$1") || return 1
    x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
    y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
    w=$(sed -n 's/.*Width: *//p' <<<"$info")
    h=$(sed -n 's/.*Height: *//p' <<<"$info")
    IFS=', ' read -r left right top bottom < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.* = //p')
    [ -n "$bottom" ] || return 1
    echo "$((x - left)) $((y - top)) $((left + w + right)) $((top + h + bottom))"
}
# centred WHAT WINDOW X Y W H: whether the window's frame is centred in that area within 2 px;
# says so, or flunks, with the offsets.
centred() {
    local what=$1 window=$2 frame fx fy fw fh dx dy
    frame=$(frame_of "$window") || { flunk "$what: no frame"; return; }
    read -r fx fy fw fh <<<"$frame"
    # Twice the offsets, in whole pixels.
    dx=$((2 * fx + fw - 2 * $3 - $5))
    dy=$((2 * fy + fh - 2 * $4 - $6))
    local said="$what: frame ${fw}x$fh at $fx,$fy, off the centre by $(awk -v x="$dx" -v y="$dy" \
        'BEGIN { printf "%+.1f, %+.1f px", x / 2, y / 2 }')"
    if [ "${dx#-}" -le 4 ] && [ "${dy#-}" -le 4 ]; then say "$said"; else flunk "$said"; fi
}
kept_above() { state_of "$timeup" | grep -q _NET_WM_STATE_ABOVE; }
# Above the typist: later in the window manager's stacking order.
above_typist() {
    local w i=0 at_typist=0 at_timeup=0
    for w in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g'); do
        i=$((i + 1))
        [ $((w)) -ne $((typist)) ] || at_typist=$i
        [ $((w)) -ne $((timeup)) ] || at_timeup=$i
    done
    [ "$at_typist" -gt 0 ] && [ "$at_timeup" -gt "$at_typist" ]
}
keys_typed() { grep -c '^KeyPress event' "$work/typist.log" || true; }

# ring WHO: sets the alarm through the dialog (checking where it comes up), runs the clock to
# just before it, and checks the ring: with WHO "typing" or "full screen", while the user types
# into another program, or with WHO "nobody" while nothing else happens.
ring() {
    local who=$1 typing= before after ahead
    open_dialog
    centred "$label: the set-time dialog over the main window" "$dialog" $(frame_of "$main")
    answer_dialog "$alarm" Meeting
    if [ "$who" != nobody ]; then
        xev -name typist >"$work/typist.log" 2>&1 &
        typist_pid=$!
        pids+=("$typist_pid")
        typist_up() {
            typist=$(sed -n 's/^Outer window is \(0x[0-9a-f]*\).*/\1/p' "$work/typist.log")
            [ -n "$typist" ] && viewable "$typist"
        }
        wait_for 10 typist_up || fail "$label: the typist's window did not come up"
        if [ "$who" != typing ]; then
            wmctrl -i -r "$typist" -b add,fullscreen
            full_screen() { state_of "$typist" | grep -q _NET_WM_STATE_FULLSCREEN; }
            wait_for 5 full_screen || fail "$label: the typist's window is not full screen"
        fi
        activate "$typist"
        wait_for 5 active_is "$((typist))" || fail "$label: the typist's window is not active"
        # Ten keys a second, spaces and Returns among them, until told to stop; a line in
        # $work/typed for every seven.
        rm -f "$work/stop-typing" "$work/typed"
        (until [ -e "$work/stop-typing" ]; do
            xdotool type --delay 100 $'aaa aa\n' && echo >>"$work/typed"
        done) &
        typing=$!
        pids+=("$typing")
    fi
    fake_clock_to "2026-12-07 $alarm 0.5 seconds ago"
    wait_for_timeup 10 || fail "$label: no Time UP window"
    grep -q "tick at $alarm:00 rings" "$work/app.log" || flunk "$label: the ring was not in its second"
    before=$(keys_typed)
    local typed_before failed=${#problems[@]}
    typed_before=$(wc -l <"$work/typed" 2>/dev/null || echo 0)
    wait_for 2 kept_above || flunk "$label: Time UP is not kept above: [$(state_of "$timeup")]"
    centred "$label: Time UP on the primary monitor" "$timeup" "${primary[@]}"
    if [ "$who" = nobody ]; then
        say "$label: Time UP mapped in the alarm's second, kept above"
    else
        above_typist || flunk "$label: Time UP is under the typist's window"
        # Fourteen keys typed after the ring, two spaces and two Returns among them, must not
        # answer Time UP.
        typed_on() { [ "$(wc -l <"$work/typed")" -ge $((typed_before + 2)) ]; }
        wait_for 5 typed_on || flunk "$label: the typing stopped"
        viewable "$timeup" || flunk "$label: the typing closed Time UP"
        [ -z "$(find_window 'ｱﾗｰﾑ時刻設定')" ] || flunk "$label: the typing opened the set-time dialog"
        [ "$(title_of "$main")" = "ｱﾗｰﾑ時計" ] || flunk "$label: the main window's title changed"
        after=$(keys_typed)
        if [ "$who" = typing ]; then
            active_is "$((typist))" || flunk "$label: the typist lost the keyboard"
            [ "$after" -ge $((before + 10)) ] || flunk "$label: only $((after - before)) keys reached the typist"
            [ ${#problems[@]} -gt "$failed" ] ||
                say "$label: Time UP kept above the typist, untouched by $((after - before)) keys that reached it"
        else
            active_is "$timeup" || flunk "$label: Time UP did not take the keyboard"
            [ ${#problems[@]} -gt "$failed" ] ||
                say "$label: Time UP kept above the full-screen typist, untouched by its typing"
        fi
        touch "$work/stop-typing"
        wait "$typing" || true
    fi
    # Answered on purpose: the mouse on OK, or, over a full-screen window, Enter once the typing
    # has rested for the second Time UP waits for.
    if [ "$who" = "full screen" ]; then
        sleep 1.2
        xdotool key Return
    else
        xdotool mousemove --window "$timeup" 108 62 click 1
    fi
    wait_for 5 timeup_gone || flunk "$label: Time UP did not close when answered"
    [ -z "$typing" ] || kill "$typist_pid" 2>/dev/null || true
}

# round LABEL SCHEME SESSION... -- WHO...: the program in a session started by SESSION (a
# function and its arguments), with the standard or the dark colour scheme, ringing once for
# each WHO.
round() {
    local label=$1 scheme=$2 first=${#pids[@]} failed=${#problems[@]} started line who
    shift 2
    local session=()
    while [ "$1" != -- ]; do session+=("$1") && shift; done
    shift
    started=$(now_ms)
    "${session[@]}" || fail "$label: no session"
    say "$label: ready in $(($(now_ms) - started)) ms on $DISPLAY"
    fake_clock_to "2026-12-07 10:29:00"
    if [ "$scheme" = dark ]; then
        start_program "${dark_scheme[@]}"
    else
        start_program
    fi
    wait_main_window
    centred "$label: the main window on the primary monitor" "$main" "${primary[@]}"
    alarm=10:30
    for who in "$@"; do
        ring "$who"
        alarm=10:3$((${alarm: -1} + 1))
    done
    xwd -silent -id "$main" >"$work/main.xwd" 2>"$work/xwd.log" ||
        fail "$label: no picture of the main window: $(tr '\n' ' ' <"$work/xwd.log")" \
            "$(xwininfo -id "$main" | grep -E 'Map State|upper-left' | tr -s ' \n' ' ')" \
            "[$(state_of "$main")]"
    look_at "$scheme" "$work/main.xwd" >"$work/look" || fail "$label: the picture was not read"
    [ "$(wc -l <"$work/look")" -eq 4 ] || fail "$label: findings missing: $(cat "$work/look")"
    while read -r line; do
        if [[ $line == PASS* ]]; then say "$label: ${line#PASS }"; else flunk "$label: ${line#FAIL }"; fi
    done <"$work/look"
    if [ ${#problems[@]} -gt "$failed" ]; then
        import -window root "$PWD/$e2e_name-${label// /-}.png" 2>/dev/null &&
            say "$label: the screen at the failures: $PWD/$e2e_name-${label// /-}.png"
        tail -n 20 "$work/app.log" | sed "s/^/$label: program: /"
    fi
    # This session ends here: the program, the window manager or compositor, and the server.
    kill "${pids[@]:first}" 2>/dev/null || true
    wait "${pids[@]:first}" 2>/dev/null || true
    pids=("${pids[@]:0:first}")
    say "$label: done in $(($(now_ms) - started)) ms"
}

# Two monitors side by side, the first the primary; its area is where the main window and Time UP
# go.
monitors=1280x800,1024x768
primary=(0 0 1280 800)
round "openbox" standard start_x_session "" openbox "$monitors" -- typing
round "metacity" dark start_x_session "" metacity "$monitors" -- typing
round "mutter" dark start_x_session "" mutter "$monitors" -- typing "full screen"
round "KWin" standard start_x_session "" kwin "$monitors" -- typing "full screen"
round "mutter, Wayland" standard start_wayland_session mutter -- nobody
round "KWin, Wayland" standard start_wayland_session kwin -- nobody
[ ${#problems[@]} -eq 0 ] || fail "${#problems[@]} check(s) failed: $(printf '\n  %s' "${problems[@]}")"
say "all checks passed"
