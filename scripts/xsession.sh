#!/usr/bin/env bash
# The one place that starts a private display server, its window manager and a sound server: for
# the end-to-end tests, the platform tests, the screenshots and the benchmark.
#
# Run as a command, like xvfb-run, it starts what is asked, runs COMMAND there and stops it all:
#   scripts/xsession.sh run [--screen WxHxD | --monitors N|WxH,WxH... | --no-x]
#       [--no-wm | --wm WM | --wayland COMPOSITOR] [--pulse SINK]... -- COMMAND...
# COMMAND gets DISPLAY: Xvfb, or with --monitors an Xorg whose screen is N monitors of 1280x800
# (or of the sizes given) side by side, the first one primary; with openbox or the window manager
# WM (metacity, mutter or kwin) unless --no-wm. With --wayland instead, DISPLAY is the Xwayland
# of COMPOSITOR (mutter or kwin), running headless on a monitor of 1280x800 (or --monitors), and
# WAYLAND_DISPLAY its socket. And PULSE_SERVER (with --pulse: one PulseAudio with a null sink for
# each SINK, NAME:RATE[:CHANNELS]), a private HOME and XDG_RUNTIME_DIR, and LC_ALL=C.UTF-8; the
# command's exit status is the wrapper's.
#
# Sourced, it gives: $work, a scratch folder removed on exit; pids, an array whose processes are
# stopped on exit; now_ms; wait_for; title_of, state_of, viewable and find_window for the
# program's windows; and start_x_session, which starts Xvfb (or Xorg) on a free display and a
# window manager on it, and exports DISPLAY, HOME and XDG_RUNTIME_DIR for everything after it
# (start_x_server does the same without a window manager; start_window_manager adds one);
# start_wayland_session, which does the same for a Wayland session with Xwayland;
# start_sound_server SINK..., which starts PulseAudio and sets $pulse_server and $pulse_pid.

work=$(mktemp -d)
pids=()
xsession_cleanup() {
    local pid end=$(($(date +%s) + 10))
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    # Ten seconds to end, then SIGKILL: Xorg has been seen to abort on its way out and hang in
    # its own signal handler.
    for pid in "${pids[@]}"; do
        while kill -0 "$pid" 2>/dev/null && ! grep -qs '^State:.*zombie' "/proc/$pid/status" &&
            [ "$(date +%s)" -lt "$end" ]; do
            sleep 0.05
        done
        if kill -0 "$pid" 2>/dev/null && ! grep -qs '^State:.*zombie' "/proc/$pid/status"; then
            kill -KILL "$pid" 2>/dev/null || true
        fi
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap xsession_cleanup EXIT

now_ms() { date +%s%3N; }

# wait_for SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds or time runs out.
wait_for() {
    local end=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        [ "$(now_ms)" -lt "$end" ] || return 1
        sleep 0.05
    done
}

title_of() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }
state_of() { xprop -id "$1" _NET_WM_STATE 2>/dev/null | sed -n 's/^_NET_WM_STATE(ATOM) = //p'; }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# find_window TITLE: the program's mapped window with that title, if any.
find_window() {
    local w
    for w in $(xdotool search --classname '^alarm-clock$' 2>/dev/null); do
        if [ "$(title_of "$w")" = "$1" ] && viewable "$w"; then
            echo "$w"
            return 0
        fi
    done
    return 1
}

# private_home: a HOME and XDG_RUNTIME_DIR of the session's own, and no Wayland.
private_home() {
    export LC_ALL=C.UTF-8 HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
    mkdir -p -m 700 "$HOME" "$XDG_RUNTIME_DIR"
    unset WAYLAND_DISPLAY
}

# start_x_server [SCREEN-GEOMETRY [MONITORS]]: Xvfb alone, or with MONITORS (a count of 1280x800
# monitors, or their sizes, WxH,WxH...) an X server whose screen is those monitors side by side,
# tops aligned, the first one primary; returns non-zero, with its log on stderr, on failure.
start_x_server() {
    private_home
    rm -f "$work/display"
    if [ -n "${2:-}" ]; then
        start_x_monitors "$2" || return 1
    else
        # -displayfd picks a free display, so parallel runs never collide.
        Xvfb -displayfd 3 -screen 0 "${1:-1024x768x24}" -nolisten tcp \
            3>"$work/display" 2>"$work/xvfb.log" &
        pids+=($!)
        if ! wait_for 10 test -s "$work/display"; then
            echo "Xvfb did not start" >&2
            cat "$work/xvfb.log" >&2
            return 1
        fi
    fi
    export DISPLAY=":$(head -n1 "$work/display")"
}

# monitor_sizes MONITORS: puts the sizes of MONITORS (a count of 1280x800 monitors, or their
# sizes WxH,WxH...) in the array sizes; returns non-zero, with a message, if it is not one.
monitor_sizes() {
    local size i
    sizes=()
    if [[ $1 =~ ^[0-9]+$ ]]; then
        for ((i = 0; i < $1; i++)); do sizes+=(1280x800); done
    else
        IFS=, read -r -a sizes <<<"$1"
    fi
    [ ${#sizes[@]} -ge 1 ] && [ ${#sizes[@]} -le 16 ] ||
        { echo "from 1 to 16 monitors, not: $1" >&2 && return 1; }
    for size in "${sizes[@]}"; do
        [[ $size =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]] ||
            { echo "not a monitor size: $size" >&2 && return 1; }
    done
}

# start_x_monitors MONITORS: for start_x_server. Each monitor is a RandR output and CRTC of its
# own, as on a desktop with two screens plugged in, because that is what mutter and KWin go by:
# RandR 1.5 monitors that split one output (xrandr --setmonitor on Xvfb) are enough for Qt,
# openbox and metacity (which read them through Xinerama), not for those two. Xvfb has one
# output, so this is Xorg with the dummy driver, whose outputs DUMMY0, DUMMY1... are configured
# here.
start_x_monitors() {
    local sizes=() size w h clock x=0 width=0 height=0 i=0 monitors="" options=""
    monitor_sizes "$1" || return 2
    for size in "${sizes[@]}"; do
        w=${size%x*} h=${size#*x}
        # A mode of that size at 60 Hz; the dummy driver shows nothing, so any timings within
        # the monitor's ranges do.
        options+="  Option \"Monitor-DUMMY$i\" \"monitor$i\"\n"
        monitors+="Section \"Monitor\"\n  Identifier \"monitor$i\"\n"
        monitors+="  HorizSync 5.0 - 1000.0\n  VertRefresh 5.0 - 200.0\n"
        clock=$(((w + 160) * (h + 30) * 60 / 10000))
        monitors+="  Modeline \"$size\" $(printf '%d.%02d' $((clock / 100)) $((clock % 100)))"
        monitors+=" $w $((w + 48)) $((w + 80)) $((w + 160)) $h $((h + 3)) $((h + 9)) $((h + 30))\n"
        monitors+="  Option \"PreferredMode\" \"$size\"\n  Option \"Position\" \"$x 0\"\n"
        monitors+="  Option \"Enable\" \"true\"\n"
        [ "$i" -eq 0 ] && monitors+="  Option \"Primary\" \"true\"\n"
        monitors+="EndSection\n"
        x=$((x + w))
        [ "$h" -le "$height" ] || height=$h
        i=$((i + 1))
    done
    width=$x
    # No input devices of its own (XTEST's are enough), no VT switch, and it does not reset when
    # its last client goes.
    printf '%b' 'Section "ServerFlags"\n  Option "AutoAddDevices" "false"\n' \
        '  Option "AutoEnableDevices" "false"\n  Option "AutoAddGPU" "false"\n' \
        '  Option "DontVTSwitch" "true"\nEndSection\n' \
        'Section "Device"\n  Identifier "dummy"\n  Driver "dummy"\n' \
        "  VideoRam $((width * height * 4 / 1024 + 4096))\n$options" 'EndSection\n' \
        "$monitors" \
        'Section "Screen"\n  Identifier "screen"\n  Device "dummy"\n  Monitor "monitor0"\n' \
        '  DefaultDepth 24\n  SubSection "Display"\n    Depth 24\n' \
        "    Virtual $width $height\n" '  EndSubSection\nEndSection\n' >"$work/xorg.conf"
    # 100 dpi, as Xvfb has it: KWin's title bars, for one, are as tall as the font that fits.
    # -keeptty, -novtswitch and -sharevts keep it off the machine's consoles.
    Xorg -config "$work/xorg.conf" -logfile "$work/xorg.log" -dpi 100 -nolisten tcp -noreset \
        -keeptty -novtswitch -sharevts -displayfd 3 3>"$work/display" >"$work/xorg.out" 2>&1 &
    pids+=($!)
    if ! wait_for 20 test -s "$work/display"; then
        echo "Xorg did not start" >&2
        cat "$work/xorg.out" >&2
        grep -E '^\[.*\] \((EE|WW)\)' "$work/xorg.log" >&2
        return 1
    fi
}

# start_session_bus NAME: a D-Bus session bus of the session's own, for NAME (a window manager
# or compositor), whose address it puts in $session_bus; returns non-zero on failure.
start_session_bus() {
    rm -f "$work/$1-bus"
    dbus-daemon --session --nofork --print-address=3 3>"$work/$1-bus" >/dev/null 2>&1 &
    pids+=($!)
    wait_for 10 test -s "$work/$1-bus" || { echo "no session bus for $1" >&2 && return 1; }
    session_bus=$(head -n1 "$work/$1-bus")
}

# wait_managed SECONDS: waits until a window mapped now gets its WM_STATE from the window
# manager, for those that do not say when they are ready.
wait_managed() {
    xev -name wm-probe >"$work/wm-probe" 2>&1 &
    local probe=$! window managed=0
    probe_managed() {
        window=$(sed -n 's/^Outer window is \(0x[0-9a-f]*\).*/\1/p' "$work/wm-probe")
        [ -n "$window" ] && xprop -id "$window" WM_STATE 2>/dev/null | grep -q Normal
    }
    wait_for "$1" probe_managed || managed=$?
    kill "$probe" 2>/dev/null
    wait "$probe" 2>/dev/null || true
    return "$managed"
}

# kwin_env: sets kwin_env, the command that starts KWin (on X11 or Wayland) in its environment.
# KWin takes org.kde.KWin on the session bus ($session_bus) and has kglobalaccel started there:
# a bus of its own, as for GNOME's. It reads kwinrc and kdeglobals from XDG_CONFIG_HOME and
# XDG_CONFIG_DIRS: both point at a folder of its own, so that neither the user's settings nor
# the machine's (/etc/xdg) reach it and it runs on its defaults, as a new user's KWin does (the
# Breeze decoration, compositing on, focus stealing prevention Low). KDE_DEBUG keeps KCrash from
# restarting a crashed KWin as a process that would outlive the session.
kwin_env() {
    mkdir -p "$work/kwin/config" "$work/kwin/cache"
    kwin_env=(env -u QT_QPA_PLATFORM -u QT_QPA_PLATFORMTHEME -u QT_STYLE_OVERRIDE
        DBUS_SESSION_BUS_ADDRESS="$session_bus" XDG_CONFIG_HOME="$work/kwin/config"
        XDG_CONFIG_DIRS="$work/kwin/config" XDG_CACHE_HOME="$work/kwin/cache" KDE_DEBUG=1)
}

# start_window_manager [WM]: openbox (the default), metacity, mutter or kwin on $DISPLAY,
# returning once it manages new windows; returns non-zero, with its log on stderr, on failure.
start_window_manager() {
    local wm=${1:-openbox} command=()
    case $wm in
    openbox)
        # Openbox announces itself on the root window before it handles map requests; a window
        # mapped in between is never managed. Its startup command runs once it is ready.
        rm -f "$work/wm-ready"
        openbox --sm-disable --startup "touch $work/wm-ready" >"$work/openbox.log" 2>&1 &
        pids+=($!)
        wait_for 10 test -e "$work/wm-ready" && return 0
        ;;
    metacity | mutter)
        command=(metacity --sm-disable)
        [ "$wm" = mutter ] && command=(mutter --x11 --replace --sm-disable)
        # GNOME's window managers take names on the session bus (mutter with --replace would
        # take them from a running desktop) and look for settings daemons there: they get a
        # bus of their own, not the desktop's, and none started behind our back.
        start_session_bus "$wm" || return 1
        DBUS_SESSION_BUS_ADDRESS=$session_bus "${command[@]}" >"$work/$wm.log" 2>&1 &
        pids+=($!)
        # Neither says when it is ready.
        wait_managed 20 && return 0
        ;;
    kwin)
        start_session_bus kwin || return 1
        kwin_env
        "${kwin_env[@]}" kwin_x11 --replace >"$work/kwin.log" 2>&1 &
        pids+=($!)
        # It does not say when it is ready either.
        wait_managed 20 && return 0
        ;;
    *) echo "no such window manager here: $wm" >&2 && return 2 ;;
    esac
    echo "$wm did not start" >&2
    cat "$work/$wm.log" >&2
    return 1
}

# start_x_session [SCREEN-GEOMETRY [WM [MONITORS]]]: returns non-zero, with the logs on stderr,
# on failure.
start_x_session() {
    start_x_server "${1:-}" "${3:-}" && start_window_manager "${2:-}"
}

# start_wayland_session COMPOSITOR [MONITORS]: a Wayland session as GNOME's and KDE's users have
# it, in which the program, an X11 client, runs through Xwayland: COMPOSITOR, mutter or kwin,
# headless on a virtual monitor of 1280x800 (or MONITORS, as for start_x_server; kwin's must be
# of one size), with Xwayland. Exports DISPLAY (Xwayland's), XAUTHORITY (mutter's), and
# WAYLAND_DISPLAY, HOME and XDG_RUNTIME_DIR for everything after it; returns once Xwayland takes
# clients, or non-zero, with the compositor's log on stderr.
# Under rootless Xwayland XGetImage of the root fails (a window's own xwd -id works, without
# its frame), and _NET_CLIENT_LIST_STACKING lists X11 windows only.
start_wayland_session() {
    local compositor=$1 sizes=() size command=()
    monitor_sizes "${2:-1280x800}" || return 2
    private_home
    unset DISPLAY XAUTHORITY
    # Both start the program they are given (kwin takes each argument for a program of its own)
    # once their Wayland socket and Xwayland are up: this one writes down the environment it got,
    # and then waits to be stopped, or for the compositor to end.
    printf '#!/bin/sh\necho $$ >"%s.pid"\nenv >"%s.new" && mv "%s.new" "%s"\n%s\n' \
        "$work/wayland-env" "$work/wayland-env" "$work/wayland-env" "$work/wayland-env" \
        'exec tail --pid=$PPID -f /dev/null' >"$work/wayland-ready"
    chmod +x "$work/wayland-ready"
    rm -f "$work/wayland-env" "$work/wayland-env.pid"
    start_session_bus "$compositor-wayland" || return 1
    case $compositor in
    mutter)
        command=(mutter --headless --wayland --sm-disable --wayland-display=wayland-0)
        for size in "${sizes[@]}"; do command+=(--virtual-monitor "$size"); done
        command+=(-- "$work/wayland-ready")
        DBUS_SESSION_BUS_ADDRESS=$session_bus "${command[@]}" >"$work/$compositor.log" 2>&1 &
        pids+=($!)
        ;;
    kwin)
        size=${sizes[0]}
        [ "$(printf '%s\n' "${sizes[@]}" | sort -u | wc -l)" -eq 1 ] ||
            { echo "kwin_wayland's virtual outputs are of one size" >&2 && return 2; }
        # Debian gives kwin_wayland the file capability cap_sys_resource; where the bounding set
        # lacks it, as in many containers, exec fails (EPERM). A copy has no capabilities.
        cp /usr/bin/kwin_wayland "$work/kwin_wayland" || return 1
        # No screen locker, which would lock the session after five idle minutes. Its
        # screenshot interface, org.kde.KWin.ScreenShot2, answers any client, as it does the
        # desktop's own tools.
        kwin_env
        "${kwin_env[@]}" KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 \
            "$work/kwin_wayland" --virtual --xwayland --no-lockscreen --socket wayland-0 \
            --width "${size%x*}" --height "${size#*x}" --output-count ${#sizes[@]} \
            "$work/wayland-ready" >"$work/$compositor.log" 2>&1 &
        pids+=($!)
        ;;
    *) echo "no such compositor here: $compositor" >&2 && return 2 ;;
    esac
    if ! wait_for 30 test -s "$work/wayland-env"; then
        echo "$compositor did not start" >&2
        cat "$work/$compositor.log" >&2
        return 1
    fi
    # Not a child of this shell: stopped by its PID like the others.
    pids+=("$(cat "$work/wayland-env.pid")")
    export WAYLAND_DISPLAY=wayland-0 DISPLAY
    DISPLAY=$(sed -n 's/^DISPLAY=//p' "$work/wayland-env")
    XAUTHORITY=$(sed -n 's/^XAUTHORITY=//p' "$work/wayland-env")
    # KWin's Xwayland takes local clients without one, and sets it empty.
    if [ -n "$XAUTHORITY" ]; then export XAUTHORITY; else unset XAUTHORITY; fi
}

# start_sound_server SINK...: a PulseAudio of its own in $work/pulse with a null sink for each
# NAME:RATE[:CHANNELS] and nothing else, at $pulse_server ($pulse_pid); returns non-zero, with
# its log on stderr, on failure. Called again after the server has been stopped, it starts a new
# one at the same address.
start_sound_server() {
    local dir="$work/pulse" sink name rate channels modules=()
    for sink in "$@"; do
        IFS=: read -r name rate channels <<<"$sink"
        modules+=(-L "module-null-sink sink_name=$name rate=$rate${channels:+ channels=$channels}")
    done
    mkdir -p -m 700 "$dir"
    rm -f "$dir/native"
    # -n: none of the system's default modules, nor the desktop's bus; the sinks load before the
    # socket appears.
    env -u DBUS_SESSION_BUS_ADDRESS HOME="$dir" XDG_RUNTIME_DIR="$dir" PULSE_RUNTIME_PATH="$dir" \
        XDG_CONFIG_HOME="$dir" pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disallow-exit \
        "${modules[@]}" -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
        >"$work/pulse.log" 2>&1 &
    pulse_pid=$!
    pids+=("$pulse_pid")
    pulse_server="unix:$dir/native"
    if ! wait_for 10 test -S "$dir/native"; then
        echo "pulseaudio did not come up" >&2
        cat "$work/pulse.log" >&2
        return 1
    fi
}

# xsession_run run OPTION... -- COMMAND...: the wrapper described at the top.
xsession_run() {
    local mode=${1:-} screen=1024x768x24 monitors='' x=1 wm=openbox wayland='' sinks=()
    shift
    while true; do
        case ${1:-} in
        --screen) screen=$2 && shift ;;
        --monitors) monitors=$2 && shift ;;
        --no-x) x= ;;
        --no-wm) wm= ;;
        --wm) wm=$2 && shift ;;
        --wayland) wayland=$2 && shift ;;
        --pulse) sinks+=("$2") && shift ;;
        *) break ;;
        esac
        shift
    done
    if [ "$mode" != run ] || [ "${1:-}" != -- ] || [ $# -lt 2 ]; then
        echo "usage: xsession.sh run [--screen WxHxD | --monitors N|WxH,WxH... | --no-x]" \
            "[--no-wm | --wm WM | --wayland COMPOSITOR] [--pulse SINK]... -- COMMAND..." >&2
        return 2
    fi
    shift
    private_home
    if [ -n "$wayland" ]; then
        start_wayland_session "$wayland" "$monitors" || return 1
    elif [ -n "$x" ]; then
        start_x_server "$screen" "$monitors" || return 1
        [ -z "$wm" ] || start_window_manager "$wm" || return 1
    fi
    if [ ${#sinks[@]} -gt 0 ]; then
        start_sound_server "${sinks[@]}" || return 1
        export PULSE_SERVER=$pulse_server
    fi
    # In the background, so that a signal to the wrapper stops the command and the servers.
    "$@" <&0 &
    pids+=($!)
    wait $!
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    trap exit INT TERM
    xsession_run "$@"
fi
