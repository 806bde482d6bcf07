#!/usr/bin/env bash
# What a user can paste into the set-time dialog of the real program, through the X clipboard:
# megabyte texts, line breaks and control characters, right-to-left marks, emoji, and bytes
# that are no UTF-8 at all (lone surrogates among them). Each entry must end in the message
# "時刻の指定が正しくありません。" or in an alarm whose note reaches the minimised title as one
# line; all the while xping times the program's event loop: handling a paste may not hold it
# for 100 ms or more, the transfer of a megabyte from the clipboard must end, and nothing else
# may come near a hang.
#
# Usage: hostile_e2e.sh PATH-TO-alarm-clock PATH-TO-xping
# Every wait is bounded; everything started here is stopped by its PID on the way out.
set -euo pipefail

bin=$(realpath "$1")
xping=$(realpath "$2")
source "$(dirname "$0")/../../scripts/xsession.sh"
e2e_name=e2e-hostile
source "$(dirname "$0")/driver.sh"
need_tools Xvfb openbox xdotool xprop xwininfo xclip libfaketime

export TZ=UTC
start_x_session 1024x768x24 || fail "no X session"
fake_clock_to "2026-12-07 09:00:00"
start_program
wait_main_window

# --- the entries ---------------------------------------------------------------------------
megabyte=$((1 << 20))
entries="$work/entries"
mkdir -p "$entries"
repeat() { # repeat TEXT COUNT FILE
    local text=$1 count=$2
    printf '%s' "$text" >"$3"
    while [ $(($(stat -c %s "$3") / ${#text})) -lt "$count" ]; do
        cat "$3" "$3" >"$3.x" && mv "$3.x" "$3"
    done
}
repeat 1 "$megabyte" "$entries/digits"
repeat 会 $((megabyte / 3)) "$entries/kanji"
{ printf '10:30'; head -c "$megabyte" /dev/zero | tr '\0' ' '; } >"$entries/time-and-spaces"
repeat 🍣 $((megabyte / 4)) "$entries/sushi"
repeat $'10:30\n' $((megabyte / 6)) "$entries/time-lines"
repeat $'会議\r\n' $((megabyte / 8)) "$entries/note-lines"
printf '10:30\t' >"$entries/time-tab"
printf 'a\001b\033c\177d\tf\n' >"$entries/controls"
printf '\xe2\x80\x8f10:30' >"$entries/time-rlm"
printf '\xe2\x80\xae\xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7\xe2\x80\x8f \xe4\xbc\x9a\xe8\xad\xb0' \
    >"$entries/note-rtl"
printf '⏰10:30' >"$entries/time-emoji"
printf '⏰👨‍👩‍👧 会議' >"$entries/note-emoji"
# UTF-8 for lone surrogates (U+D800, U+DC00) and stray bytes: not text, and shown as such.
printf '\xed\xa0\x8010:30' >"$entries/time-broken"
printf '\xed\xb0\x80\xe4\xbc\x9a\xff\xe8\xad\xb0' >"$entries/note-broken"
printf '　１０：３０　' >"$entries/time-fullwidth"

# --- the event loop's answer time ------------------------------------------------------------
# A background xping answers how long the program ever kept it waiting; "xping WINDOW once"
# returns when the program has dealt with everything sent to it so far.
"$xping" "$main" 10 >"$work/xping.out" 2>"$work/xping.log" &
pinger=$!
pids+=("$pinger")
settled() { "$xping" "$main" once >/dev/null || fail "the program stopped answering"; }

# serve FILE: puts FILE on the clipboard until the next serve (xclip keeps it while it owns it).
clip=
serve() {
    [ -z "$clip" ] || kill "$clip" 2>/dev/null || true
    xclip -quiet -selection clipboard -i "$1" >/dev/null 2>&1 &
    clip=$!
    pids+=("$clip")
    owned() { xclip -selection clipboard -t TARGETS -o >/dev/null 2>&1; }
    wait_for 5 owned || fail "xclip did not take the clipboard"
}

# paste FILE: Ctrl+A Ctrl+V in the field that has the focus, with FILE on the clipboard. The
# span from the keys to the program's answer is noted: the handling of what was pasted is timed
# apart from the windows opening and closing around it. Qt fetches the whole clipboard before
# the field sees any of it, and a megabyte comes through the X server in pieces, during which
# the program cannot answer: those spans are noted as transfers.
spans="$work/spans"
: >"$spans"
paste() {
    local start kind=paste
    serve "$1"
    start=$(now_ms)
    xdotool key --clearmodifiers ctrl+a ctrl+v
    settled
    [ "$(stat -c %s "$1")" -lt 65536 ] || kind=transfer
    echo "$kind $start $(now_ms)" >>"$spans"
}

message_box() { [ "$(xdotool search --classname '^alarm-clock$' | while read -r w; do
    [ "$(title_of "$w")" = "ｱﾗｰﾑ時計" ] && [ "$w" != "$main" ] && viewable "$w" && echo "$w"
done | head -n1)" != "" ]; }
no_message_box() { ! message_box; }

# entry NAME TIME-FILE NOTE-FILE message
# entry NAME TIME-FILE NOTE-FILE TITLE-PATTERN: pastes each file with Ctrl+A Ctrl+V into its
# field, presses Enter, and expects the message, or an accepted alarm whose minimised title
# matches the pattern.
entry() {
    local name=$1 time=$2 note=$3 expect=$4
    open_dialog
    paste "$entries/$time"
    xdotool key Tab Tab Tab
    paste "$entries/$note"
    xdotool key Return
    if [ "$expect" = message ]; then
        wait_for 10 message_box || fail "$name: no message"
        xdotool key Return
        wait_for 10 no_message_box || fail "$name: the message did not close"
        say "$name: refused with the message"
    else
        wait_for 10 dialog_gone || fail "$name: the dialog did not close"
        settled
        ! message_box || fail "$name: refused with the message"
        minimise
        title_matches() { [[ $(title_of "$main") =~ $expect ]]; }
        wait_for 5 title_matches || fail "$name: the minimised title reads [$(title_of "$main")]"
        say "$name: accepted, minimised title [$(title_of "$main")]"
        restore
    fi
    alive || fail "$name: the program ended"
}

sushi40=$(printf '🍣%.0s' $(seq 40))
entry "a megabyte of digits, a megabyte of kanji" digits kanji message
entry "10:30 and a megabyte of spaces, a megabyte of emoji" time-and-spaces sushi \
    "^01:[0-9][0-9] 前 【$sushi40】\$"
entry "a megabyte of lines" time-lines note-lines message
entry "a tab after the time, control characters in the note" time-tab controls message
entry "a right-to-left mark before the time" time-rlm note-rtl message
entry "an emoji before the time" time-emoji note-emoji message
entry "broken UTF-8" time-broken note-broken message
entry "full-width time, control characters in the note" time-fullwidth controls \
    "^01:[0-9][0-9] 前 【a b c d f 】\$"
entry "full-width time, right-to-left text in the note" time-fullwidth note-rtl \
    "^01:[0-9][0-9] 前 【$(cat "$entries/note-rtl")】\$"
entry "full-width time, emoji in the note" time-fullwidth note-emoji \
    "^01:[0-9][0-9] 前 【⏰👨‍👩‍👧 会議】\$"
entry "full-width time, broken UTF-8 in the note" time-fullwidth note-broken \
    "^01:[0-9][0-9] 前 【.*会.*議】\$"

kill "$pinger"
wait "$pinger" 2>/dev/null || true
read -r _ pings _ longest <"$work/xping.out" || fail "xping said: $(cat "$work/xping.out")"
[ "$pings" -ge 100 ] || fail "too few pings ($pings) to say anything"
# The longest answer asked within each kind of span, and outside them all (the windows opening,
# closing, minimising), from xping's log of the answers of 50 ms or more.
read -r own transfer other < <(awk -v spans="$spans" '
    BEGIN { while ((getline line < spans) > 0) { split(line, f, " "); n++; kind[n] = f[1]; from[n] = f[2]; to[n] = f[3] } }
    /asked at/ {
        asked = $4 * 1000; ms = $7; k = "other"
        for (i = 1; i <= n; i++) if (asked >= from[i] - 20 && asked <= to[i]) k = kind[i]
        if (ms > longest[k]) longest[k] = ms
    }
    END { printf "%.1f %.1f %.1f\n", longest["paste"], longest["transfer"], longest["other"] }' \
    "$work/xping.log")
shown() { [ "${1%.*}" -gt 0 ] && echo "$1 ms" || echo "under 50 ms"; }
say "xping: $pings pings, the longest wait $longest ms; handling a paste: $(shown "$own")," \
    "a megabyte's transfer: $(shown "$transfer"), opening and closing windows: $(shown "$other")"
[ "${own%.*}" -lt 100 ] || { sed "s/^/$e2e_name: /" "$work/xping.log" "$spans" >&2
    fail "handling a paste kept the program's event loop busy for $own ms"; }
# A megabyte through the X server takes its time, but it ends; nothing else may come near a hang.
[ "${transfer%.*}" -lt 10000 ] || fail "a megabyte paste held the program for $transfer ms"
[ "${other%.*}" -lt 1000 ] || fail "the windows kept the event loop busy for $other ms"
stop_program
say "ended with status 0"
