#!/usr/bin/env bash
# The Debian package as a user meets it, on a fresh Debian 12 rather than this machine's own
# set-up: a minimal system made by mmdebstrap from Debian's archive (the mirror this machine's
# apt uses) in a folder next to the package. There `apt-get install ./alarm-clock_*.deb` pulls in
# every dependency; the desktop entry's Exec starts the clock on a private Xvfb with openbox; an
# alarm set a few seconds ahead through the dialog rings (Time UP maps) and MSREMIND.WAV, found
# next to the installed program, is heard on a private PulseAudio's null sink; 閉じる ends it;
# and `apt-get purge` with `autoremove --purge` leaves the system's file list as it was.
#
# Usage: package-test.sh PATH-TO-alarm-clock_VERSION_ARCH.deb   (as root; make package-test)
# The bare system is kept as a tarball (bookworm-minbase.tar) and the downloaded packages in
# archives/, so a second run only unpacks and installs. Everything mounted is unmounted and
# everything started is stopped on every way out.
set -euo pipefail

deb=$(realpath "$1")
[ -f "$deb" ] || { echo "package-test: no package $1" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "package-test: needs root (chroot, mount)" >&2; exit 2; }
started=$(date +%s)
dir=$(dirname "$deb")/package-test
root=$dir/root
base=$dir/bookworm-minbase.tar
archives=$dir/archives
id=io.github.alarmclock.AlarmClock

source "$(dirname "$0")/xsession.sh"
e2e_name=package-test
source "$(dirname "$0")/../tests/e2e/driver.sh"
need_tools mmdebstrap Xvfb openbox xdotool xprop xwininfo pactl parec sox

# --- mounts, and the way out --------------------------------------------------------------
mounts=()
mount_in() { # mount_in TARGET MOUNT-ARGS...: mounts inside the chroot and remembers it
    local target=$root$1
    shift
    mkdir -p "$target"
    mount "$@" "$target"
    mounts+=("$target")
}
unmount_all() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" 2>/dev/null || true
    done
    mounts=()
}
still_mounted() { findmnt -rn -o TARGET | grep -q "^$root\(/\|$\)"; }
package_test_cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    unmount_all
    xsession_cleanup
}
trap package_test_cleanup EXIT
trap 'exit 130' INT TERM

# remove_root: the previous run's system, never while anything is mounted inside it.
remove_root() {
    [ -e "$root" ] || return 0
    still_mounted && fail "something is still mounted under $root; not removing it"
    rm -rf --one-file-system "$root"
}
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 HOME=/root \
    DEBIAN_FRONTEND=noninteractive "$@"; }
# The system's files, without what apt and dpkg keep for themselves, caches, logs and scratch.
file_list() {
    (cd "$root" && find . -xdev \( -path ./proc -o -path ./dev -o -path ./sys -o -path ./tmp \
        -o -path ./run -o -path ./var/cache -o -path ./var/log -o -path ./var/lib/apt \
        -o -path ./root \) -prune -o -print) |
        grep -v '^\./var/lib/dpkg/\(status\|available\|lock\|triggers\|updates\|info/format\|diversions\|statoverride\)' |
        grep -v '^\./etc/\(passwd\|group\|shadow\|gshadow\)-$' |
        sort
}

# --- the Debian archive this machine uses -----------------------------------------------------
# One-line sources for Debian's own archive (.../debian and .../debian-security) from this
# machine's apt sources, old and deb822 style alike, main only.
debian_sources() {
    {
        for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            [ -e "$f" ] || continue
            awk '$1 == "deb" { uri = ($2 ~ /^\[/) ? $3 : $2; s = ($2 ~ /^\[/) ? $4 : $3; print uri, s }' "$f"
        done
        for f in /etc/apt/sources.list.d/*.sources; do
            [ -e "$f" ] || continue
            awk 'BEGIN { RS = ""; FS = "\n" }
                 {
                     types = uris = suites = ""
                     for (i = 1; i <= NF; i++) {
                         if ($i ~ /^Types:/) types = substr($i, 7)
                         if ($i ~ /^URIs:/) uris = substr($i, 6)
                         if ($i ~ /^Suites:/) suites = substr($i, 8)
                     }
                     if (types !~ /(^| )deb( |$)/) next
                     n = split(uris, u, " "); m = split(suites, s, " ")
                     for (a = 1; a <= n; a++) for (b = 1; b <= m; b++) print u[a], s[b]
                 }' "$f"
        done
    } | awk '$1 ~ /\/debian(-security)?\/?$/ && $2 ~ /^bookworm/ { print "deb " $1 " " $2 " main" }' |
        awk '!seen[$0]++'
}

# --- a fresh Debian 12 --------------------------------------------------------------------------
mkdir -p "$dir" "$archives"
mapfile -t sources < <(debian_sources)
[ ${#sources[@]} -gt 0 ] || fail "no Debian bookworm archive in /etc/apt/sources.list*"
if [ ! -s "$base" ]; then
    say "making a minimal Debian 12 from: ${sources[*]}"
    # mmdebstrap picks its output format from the name's ending.
    mmdebstrap --quiet --mode=root --variant=minbase bookworm "$dir/unfinished.tar" \
        "${sources[@]}" || fail "mmdebstrap failed"
    mv "$dir/unfinished.tar" "$base"
fi
remove_root
mkdir -p "$root"
tar -xf "$base" -C "$root" || fail "cannot unpack $base"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount_in /proc -t proc proc
mount_in /dev/pts -t devpts -o newinstance,ptmxmode=0666 devpts
mount_in /dev/shm -t tmpfs -o mode=1777 tmpfs
before=$(file_list)
accounts_before=$(cat "$root/etc/passwd" "$root/etc/group")
say "a fresh Debian $(cat "$root/etc/debian_version") in $root ($(grep -c . <<<"$before") files)"

# --- install ---------------------------------------------------------------------------------
cp "$deb" "$root/tmp/"
chmod 644 "$root/tmp/$(basename "$deb")"
cp -n "$archives"/*.deb "$root/var/cache/apt/archives/" 2>/dev/null || true
installing=$(date +%s)
in_root apt-get update -qq >"$work/apt.log" 2>&1 || fail "apt-get update: $(tail -n 5 "$work/apt.log")"
in_root apt-get install -y --no-install-recommends "/tmp/$(basename "$deb")" >"$work/install.log" 2>&1 ||
    fail "apt-get install ./$(basename "$deb"): $(tail -n 20 "$work/install.log")"
cp -n "$root"/var/cache/apt/archives/*.deb "$archives/" 2>/dev/null || true
cp "$work/install.log" "$dir/install.log"
pulled=$(sed -n 's/^Setting up \([^: ]*\).*/\1/p' "$work/install.log" | grep -vx alarm-clock | sort)
say "apt-get install ./$(basename "$deb") took $(($(date +%s) - installing)) s and pulled in" \
    "$(grep -c . <<<"$pulled") packages"
for p in qt6-qpa-plugins fonts-ipafont-gothic libcanberra-pulse sound-theme-freedesktop; do
    grep -qx "$p" <<<"$pulled" || fail "$p was not pulled in"
done
in_root dpkg -s alarm-clock | grep -q '^Status: install ok installed' || fail "alarm-clock is not installed"
missing=$(in_root sh -c 'for f in /usr/lib/alarm-clock/*; do case $f in *.WAV) ;; *) ldd "$f";; esac; done' |
    grep 'not found' || true)
[ -z "$missing" ] || fail "libraries not found: $missing"
# A Japanese Gothic of one of the families the windows name.
in_root fc-list : family | grep -q 'IPAPGothic\|Noto Sans CJK JP' ||
    fail "neither IPAPGothic nor Noto Sans CJK JP is installed"

# The installed layout: the program and its sound side by side, /usr/bin leading there.
[ -x "$root/usr/lib/alarm-clock/alarm-clock" ] || fail "no /usr/lib/alarm-clock/alarm-clock"
[ "$(head -c 4 "$root/usr/lib/alarm-clock/MSREMIND.WAV")" = RIFF ] || fail "no MSREMIND.WAV beside it"
[ "$(in_root readlink -f /usr/bin/alarm-clock)" = /usr/lib/alarm-clock/alarm-clock ] ||
    fail "/usr/bin/alarm-clock does not lead to /usr/lib/alarm-clock/alarm-clock"
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$id.desktop" | head -n1 |
    sed 's/ *%[fFuUdDnNickvm]//g')
[ -n "$exec_line" ] || fail "the desktop entry has no Exec"

# --- run it from the desktop entry ------------------------------------------------------------
# Xvfb, openbox and PulseAudio run out here; the program inside reaches the X server through its
# abstract socket and the sound server through $work, mounted at the same path inside.
export TZ=UTC
start_x_session 1024x768x24 || fail "no X session"
start_pulse
mount_in "$work" --bind "$work"
say "Xvfb on $DISPLAY with openbox and a null sink; starting the desktop entry's Exec=$exec_line"
program="exec $exec_line"
start_program LD_PRELOAD= chroot "$root" /bin/sh -c
wait_main_window
say "main window $main mapped"

own_seconds=$(measure_seconds "$root/usr/lib/alarm-clock/MSREMIND.WAV")
# The clock is the real one: an alarm a few seconds ahead must not fall past midnight.
before_midnight() { [ "$(fake_time_of_day)" -lt 86370 ]; }
past_midnight() { ! before_midnight; }
if past_midnight; then wait_for 35 before_midnight || fail "the clock did not pass midnight"; fi
alarm=$(hms $(($(fake_time_of_day) + 8)))
set_alarm "$alarm"
start_recording
wait_for_timeup 30 || fail "no Time UP window by $(hms "$(fake_time_of_day)") for the alarm at $alarm"
say "Time UP $timeup mapped at $(hms "$(fake_time_of_day)") for the alarm at $alarm"
played() { [ "$(sounds_played)" -ge 1 ]; }
wait_for 5 played || fail "no sound stream reached the null sink"
wait_for 15 sound_over || fail "the sound did not end"
streams=$(sounds_played)
heard=$(heard_seconds)
say "$streams sound stream(s); heard ${heard}s, MSREMIND.WAV lasts ${own_seconds}s"
[ "$streams" -eq 1 ] || fail "$streams sound streams for one ring"
heard_as "$own_seconds" "$heard" || fail "heard ${heard}s, not MSREMIND.WAV (${own_seconds}s)"
close_timeup
stop_program
say "OK closed Time UP and 閉じる ended the program with status 0"
for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
pids=()
unmount_all
mount_in /proc -t proc proc

# --- purge ----------------------------------------------------------------------------------
files=$(in_root dpkg -L alarm-clock)
in_root apt-get purge -y alarm-clock >"$work/purge.log" 2>&1 || fail "apt-get purge: $(tail -n 5 "$work/purge.log")"
left=$(while read -r f; do
    [ -e "$root$f" ] || [ -L "$root$f" ] || continue
    [ -d "$root$f" ] && [ ! -L "$root$f" ] && [ -n "$(ls -A "$root$f")" ] && continue
    echo "$f"
done <<<"$files")
[ -z "$left" ] || fail "apt-get purge left files of the package: $left"
in_root apt-get autoremove --purge -y >"$work/autoremove.log" 2>&1 ||
    fail "apt-get autoremove: $(tail -n 5 "$work/autoremove.log")"
unmount_all
after=$(file_list)
changed=$(diff <(echo "$before") <(echo "$after") | grep '^[<>]' || true)
[ -z "$changed" ] || fail "the system's files differ after the purge:"$'\n'"$changed"
say "apt-get purge and autoremove --purge: $(grep -c . <<<"$files") paths of the package gone," \
    "the file list as before"
# System users and groups that dependencies add stay when those are purged, as in Debian
# generally (with the backups of the account files above); the package itself adds none.
accounts=$(diff <(echo "$accounts_before") <(cat "$root/etc/passwd" "$root/etc/group") |
    sed -n 's/^> \([^:]*\):.*/\1/p' | tr '\n' ' ')
[ -z "$accounts" ] || say "accounts left by dependencies: $accounts"
remove_root
say "passed in $(($(date +%s) - started)) s"
