#!/usr/bin/env bash
# `cmake --install` into a scratch prefix: the program with its sound beside it in lib/alarm-clock
# and bin/alarm-clock a relative link to it, a valid desktop entry, the hicolor icons it names,
# valid AppStream metadata, the manual page and the Debian copyright and changelog, each in its
# standard place.
# Usage: install_check.sh BUILD-DIR
set -euo pipefail

build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install: FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
id=io.github.alarmclock.AlarmClock

program_dir="$prefix/lib/alarm-clock"
[ -x "$program_dir/alarm-clock" ] || fail "lib/alarm-clock/alarm-clock is missing"
[ -f "$program_dir/MSREMIND.WAV" ] || fail "MSREMIND.WAV is not beside the program"
[ "$(head -c 4 "$program_dir/MSREMIND.WAV")" = RIFF ] || fail "MSREMIND.WAV is no WAV file"
# A relative link, so that the tree works wherever it is installed or unpacked.
[ -L "$prefix/bin/alarm-clock" ] || fail "bin/alarm-clock is no symbolic link"
[[ $(readlink "$prefix/bin/alarm-clock") != /* ]] || fail "bin/alarm-clock is an absolute link"
[ "$(readlink -f "$prefix/bin/alarm-clock")" = "$(realpath "$program_dir/alarm-clock")" ] ||
    fail "bin/alarm-clock leads to $(readlink -f "$prefix/bin/alarm-clock")"

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
gzip -t "$prefix/share/man/man1/alarm-clock.1.gz" || fail "the manual page is missing or broken"
doc="$prefix/share/doc/alarm-clock"
head -n1 "$doc/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file is missing or not machine-readable"
zcat "$doc/changelog.Debian.gz" | head -n1 | grep -q '^alarm-clock (' ||
    fail "changelog.Debian.gz is missing or no Debian changelog"

# The installed program starts through bin/ and keeps running.
status=0
QT_QPA_PLATFORM=offscreen timeout 3 "$prefix/bin/alarm-clock" >/dev/null 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "the installed program did not keep running (status $status)"
echo "install: program and sound, the link in bin/, desktop entry, icons, metadata, manual page," \
    "copyright and changelog in place and valid"
