#!/usr/bin/env bash
# The one place that starts a private X server, its window manager and a sound server: for the
# end-to-end tests, the platform tests, the screenshots and the benchmark.
#
# Run as a command, like xvfb-run, it starts what is asked, runs COMMAND there and stops it all:
#   scripts/xsession.sh run [--screen WxHxD | --no-x] [--no-wm | --wm WM] [--pulse SINK]... \
#       -- COMMAND...
# COMMAND gets DISPLAY (Xvfb, with openbox or the window manager WM, metacity, mutter or kwin, unless
# --no-wm), PULSE_SERVER (with --pulse: one PulseAudio with a null sink for each SINK,
# NAME:RATE[:CHANNELS]), a private HOME and XDG_RUNTIME_DIR, and LC_ALL=C.UTF-8; the command's
# exit status is the wrapper's.
#
# Sourced, it gives: $work, a scratch folder removed on exit; pids, an array whose processes are
# stopped on exit; now_ms; wait_for; title_of, state_of, viewable and find_window for the
# program's windows; and start_x_session, which starts Xvfb on a free display
# and a window manager on it, and exports DISPLAY, HOME and XDG_RUNTIME_DIR for everything after
# it (start_x_server does the same without a window manager; start_window_manager adds one);
# start_sound_server SINK..., which starts PulseAudio and sets $pulse_server and $pulse_pid.

work=$(mktemp -d)
pids=()
xsession_cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
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

# start_x_server [SCREEN-GEOMETRY]: Xvfb alone; returns non-zero, with its log on stderr, on
# failure.
start_x_server() {
    private_home
    rm -f "$work/display"
    # -displayfd picks a free display, so parallel runs never collide.
    Xvfb -displayfd 3 -screen 0 "${1:-1024x768x24}" -nolisten tcp \
        3>"$work/display" 2>"$work/xvfb.log" &
    pids+=($!)
    if ! wait_for 10 test -s "$work/display"; then
        echo "Xvfb did not start" >&2
        cat "$work/xvfb.log" >&2
        return 1
    fi
    export DISPLAY=":$(head -n1 "$work/display")"
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
        # KWin takes org.kde.KWin on the session bus and has kglobalaccel started there: a bus
        # of its own, as for GNOME's. It reads kwinrc and kdeglobals from XDG_CONFIG_HOME and
        # XDG_CONFIG_DIRS: both point at a folder of its own, so that neither the user's
        # settings nor the machine's (/etc/xdg) reach it and it runs on its defaults, as a
        # new user's KWin does (the Breeze decoration, compositing on, focus stealing
        # prevention Low). KDE_DEBUG keeps KCrash from restarting a crashed KWin as a process
        # that would outlive the session.
        mkdir -p "$work/kwin/config" "$work/kwin/cache"
        start_session_bus kwin || return 1
        env -u QT_QPA_PLATFORM -u QT_QPA_PLATFORMTHEME -u QT_STYLE_OVERRIDE \
            DBUS_SESSION_BUS_ADDRESS="$session_bus" XDG_CONFIG_HOME="$work/kwin/config" \
            XDG_CONFIG_DIRS="$work/kwin/config" XDG_CACHE_HOME="$work/kwin/cache" KDE_DEBUG=1 \
            kwin_x11 --replace >"$work/kwin.log" 2>&1 &
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

# start_x_session [SCREEN-GEOMETRY [WM]]: returns non-zero, with the logs on stderr, on failure.
start_x_session() {
    start_x_server "${1:-}" && start_window_manager "${2:-}"
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
    local mode=${1:-} screen=1024x768x24 x=1 wm=openbox sinks=()
    shift
    while true; do
        case ${1:-} in
        --screen) screen=$2 && shift ;;
        --no-x) x= ;;
        --no-wm) wm= ;;
        --wm) wm=$2 && shift ;;
        --pulse) sinks+=("$2") && shift ;;
        *) break ;;
        esac
        shift
    done
    if [ "$mode" != run ] || [ "${1:-}" != -- ] || [ $# -lt 2 ]; then
        echo "usage: xsession.sh run [--screen WxHxD | --no-x] [--no-wm | --wm WM]" \
            "[--pulse SINK]... -- COMMAND..." >&2
        return 2
    fi
    shift
    private_home
    if [ -n "$x" ]; then
        start_x_server "$screen" || return 1
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
