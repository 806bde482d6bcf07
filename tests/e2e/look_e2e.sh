#!/usr/bin/env bash
# How the program looks from outside, in three rounds, each on a Xvfb of its own with one window
# manager: openbox with the standard colour scheme, metacity and GNOME's mutter with a dark one
# picked the way a user picks it (qt6ct's "darker"). In each round:
# - the main window's colours, read from its pixels once an alarm and a note are set: under the
#   standard scheme exactly the colours it always had, under the dark one a clock, alarm time
#   and note that stay readable, at least 4.5:1 against their backgrounds (WCAG AA);
# - the Time UP window centred on the screen by its frame as the user sees it (the client
#   area plus _NET_FRAME_EXTENTS), within 2 px, and kept above the others.
# A failed check does not end the run: the verdict comes at the end, with every figure shown.
#
# Usage: look_e2e.sh PATH-TO-alarm-clock
set -euo pipefail

bin=$(realpath "$1")
source "$(dirname "$0")/../../scripts/xsession.sh"
e2e_name=e2e-look
source "$(dirname "$0")/driver.sh"
need_tools Xvfb openbox metacity mutter dbus-daemon xev xdotool xprop xwininfo xwd convert import \
    python3
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

# frame_centred: whether the Time UP window's frame, as the window manager reports it, is centred
# on the screen within 2 px; sets $offsets to the frame centre's offset from the screen's.
frame_centred() {
    local info extents x y w h left right top bottom sw sh dx dy
    info=$(xwininfo -id "$timeup") || return 1
    x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
    y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
    w=$(sed -n 's/.*Width: *//p' <<<"$info")
    h=$(sed -n 's/.*Height: *//p' <<<"$info")
    extents=$(xprop -id "$timeup" _NET_FRAME_EXTENTS | sed -n 's/.* = //p')
    [ -n "$extents" ] || return 1
    IFS=', ' read -r left right top bottom <<<"$extents"
    read -r sw sh < <(xwininfo -root | sed -n 's/.*Width: *//p; s/.*Height: *//p' | paste -s)
    # Twice the offsets, in whole pixels.
    dx=$((2 * (x - left) + left + w + right - sw))
    dy=$((2 * (y - top) + top + h + bottom - sh))
    offsets=$(awk -v dx="$dx" -v dy="$dy" 'BEGIN { printf "x %+.1f px, y %+.1f px", dx / 2, dy / 2 }')
    offsets+=" (frame $((left + w + right))x$((top + h + bottom)) at $((x - left)),$((y - top));"
    offsets+=" extents $extents; screen ${sw}x$sh)"
    [ "${dx#-}" -le 4 ] && [ "${dy#-}" -le 4 ]
}

kept_above() { state_of "$timeup" | grep -q _NET_WM_STATE_ABOVE; }

# round WM SCHEME: the program under WM with the standard or the dark colour scheme.
round() {
    local wm=$1 scheme=$2 first=${#pids[@]} failed=${#problems[@]} started line
    started=$(now_ms)
    start_x_session 1024x768x24 "$wm" || fail "$wm: no X session"
    say "$wm: ready in $(($(now_ms) - started)) ms on $DISPLAY"
    fake_clock_to "2026-12-07 10:29:00"
    if [ "$scheme" = dark ]; then
        start_program "${dark_scheme[@]}"
    else
        start_program
    fi
    wait_main_window
    set_alarm 10:30 Meeting
    xwd -silent -id "$main" >"$work/main.xwd" || fail "$wm: no picture of the main window"
    look_at "$scheme" "$work/main.xwd" >"$work/look" || fail "$wm: the picture was not read"
    [ "$(wc -l <"$work/look")" -eq 4 ] || fail "$wm: findings missing: $(cat "$work/look")"
    while read -r line; do
        if [[ $line == PASS* ]]; then say "$wm: ${line#PASS }"; else flunk "$wm: ${line#FAIL }"; fi
    done <"$work/look"
    # The alarm is due at 10:30:00; the clock goes to just before it rather than waiting.
    fake_clock_to "2026-12-07 10:29:59.5"
    wait_for_timeup 10 || fail "$wm: no Time UP window"
    offsets="no frame extents"
    if wait_for 2 frame_centred; then
        say "$wm: Time UP centred: $offsets"
    else
        flunk "$wm: Time UP frame off the screen's centre: $offsets"
    fi
    if wait_for 2 kept_above; then
        say "$wm: Time UP is kept above (_NET_WM_STATE_ABOVE)"
    else
        flunk "$wm: Time UP is not kept above: [$(state_of "$timeup")]"
    fi
    if [ ${#problems[@]} -gt "$failed" ]; then
        import -window root "$PWD/$e2e_name-$wm.png" 2>/dev/null &&
            say "$wm: the screen at the failures: $PWD/$e2e_name-$wm.png"
        convert "$work/main.xwd" "$PWD/$e2e_name-$wm-main.png" &&
            say "$wm: the main window's picture: $PWD/$e2e_name-$wm-main.png"
    fi
    # This session ends here: the program, the window manager (and its bus) and Xvfb.
    kill "${pids[@]:first}" 2>/dev/null || true
    wait "${pids[@]:first}" 2>/dev/null || true
    pids=("${pids[@]:0:first}")
    say "$wm: done in $(($(now_ms) - started)) ms"
}

round openbox standard
round metacity dark
round mutter dark
[ ${#problems[@]} -eq 0 ] || fail "${#problems[@]} check(s) failed: $(printf '\n  %s' "${problems[@]}")"
say "all checks passed"
