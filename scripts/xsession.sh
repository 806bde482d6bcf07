# Sourced by the scripts that put the program's windows on a private X server: the end-to-end
# test, the dialogs' screenshots and the README picture.
#
# Gives them: $work, a scratch folder removed on exit; pids, an array whose processes are
# stopped on exit; now_ms; wait_for; title_of, state_of, viewable and find_window for the
# program's windows; and start_x_session, which starts Xvfb on a free display
# and openbox on it, and exports DISPLAY, HOME and XDG_RUNTIME_DIR for everything after it
# (start_x_server does the same without a window manager; start_window_manager adds it).

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

# start_x_server [SCREEN-GEOMETRY]: Xvfb alone; returns non-zero, with its log on stderr, on
# failure.
start_x_server() {
    export LC_ALL=C.UTF-8 HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
    mkdir -p -m 700 "$HOME" "$XDG_RUNTIME_DIR"
    unset WAYLAND_DISPLAY

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

# start_window_manager: openbox on $DISPLAY; returns non-zero, with its log on stderr, on
# failure.
start_window_manager() {
    # Openbox announces itself on the root window before it handles map requests; a window
    # mapped in between is never managed. Its startup command runs once it is ready.
    openbox --sm-disable --startup "touch $work/wm-ready" >"$work/openbox.log" 2>&1 &
    pids+=($!)
    if ! wait_for 10 test -e "$work/wm-ready"; then
        echo "openbox did not start" >&2
        cat "$work/openbox.log" >&2
        return 1
    fi
}

# start_x_session [SCREEN-GEOMETRY]: returns non-zero, with the logs on stderr, on failure.
start_x_session() {
    start_x_server "$@" && start_window_manager
}
