#!/usr/bin/env bash
# `cmake --install` into a scratch prefix: the program with its sound beside it, a valid desktop
# entry, the hicolor icons it names and valid AppStream metadata, each in its standard place.
# Usage: install_check.sh BUILD-DIR
set -euo pipefail

build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install: FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
id=io.github.alarmclock.AlarmClock

[ -x "$prefix/bin/alarm-clock" ] || fail "bin/alarm-clock is missing"
[ -f "$prefix/bin/MSREMIND.WAV" ] || fail "MSREMIND.WAV is not beside the program"
[ "$(head -c 4 "$prefix/bin/MSREMIND.WAV")" = RIFF ] || fail "MSREMIND.WAV is no WAV file"

desktop="$prefix/share/applications/$id.desktop"
[ -f "$desktop" ] || fail "the desktop entry is missing"
desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
grep -qx "Icon=$id" "$desktop" || fail "the desktop entry names another icon"
grep -qx "Exec=alarm-clock" "$desktop" || fail "the desktop entry starts another program"

for size in 16 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x$size/apps/$id.png"
    [ -f "$icon" ] || fail "the ${size}x$size icon is missing"
    [ "$(identify -format "%wx%h" "$icon")" = "${size}x$size" ] || fail "the ${size}x$size icon has another size"
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "the scalable icon is missing"

metainfo="$prefix/share/metainfo/$id.metainfo.xml"
[ -f "$metainfo" ] || fail "the AppStream metadata is missing"
appstreamcli validate --no-net "$metainfo" >/dev/null || fail "the AppStream metadata is not valid"
# The installed program starts from where it was installed and keeps running.
status=0
QT_QPA_PLATFORM=offscreen timeout 3 "$prefix/bin/alarm-clock" >/dev/null 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "the installed program did not keep running (status $status)"
echo "install: program, sound, desktop entry, icons and metadata in place and valid"
