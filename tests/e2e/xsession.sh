# Shared part of the end-to-end tests: a private X server with a window manager, a private
# home, and helpers to wait for windows. Sourced by each test script.
set -u

fail() { echo "FAIL: $*" >&2; exit 1; }

need() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            if [ -n "${CI:-}" ]; then fail "$tool is missing"; fi
            echo "SKIP: $tool is not installed"; exit 77
        fi
    done
}

need Xvfb openbox xdotool xprop

WORK=$(mktemp -d)
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" XDG_DATA_HOME="$WORK/home/.local/share"
export XDG_RUNTIME_DIR="$WORK/runtime" LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb
mkdir -p "$XDG_CONFIG_HOME/tembrel" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
PIDS=""

cleanup() {
    for pid in $PIDS; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

# Starts Xvfb on a free display (it picks the number itself) and openbox on it. Another
# server starting at the same moment can win the same number; then the next try picks another.
start_x() {
    for attempt in 1 2 3; do
        : >"$WORK/display"
        Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
        local xvfb=$!
        PIDS="$PIDS $xvfb"
        for _ in $(seq 200); do
            [ -s "$WORK/display" ] && break
            sleep 0.1
        done
        DISPLAY=":$(head -n1 "$WORK/display")"
        export DISPLAY
        if kill -0 "$xvfb" 2>/dev/null && xprop -root >/dev/null 2>&1; then
            openbox >"$WORK/openbox.log" 2>&1 &
            PIDS="$PIDS $!"
            for _ in $(seq 200); do
                xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
                sleep 0.1
            done
        fi
        kill "$xvfb" 2>/dev/null
        sleep 0.5
    done
    fail "no X server with openbox: $(cat "$WORK/openbox.log" "$WORK/xvfb.log" 2>/dev/null)"
}

# Runs a program in the background, remembering it for the cleanup.
spawn() {
    "$@" >>"$WORK/programs.log" 2>&1 &
    LAST_PID=$!
    PIDS="$PIDS $LAST_PID"
}

# Prints the id of the first visible window whose name matches, waiting up to 10 s.
wait_window() {
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        sleep 0.1
    done
    return 1
}

setting() { printf '%s=%s\n' "$1" "$2" >>"$XDG_CONFIG_HOME/tembrel/tembrel.ini"; }
start_settings() { printf '[setting]\nflg_First=True\n' >"$XDG_CONFIG_HOME/tembrel/tembrel.ini"; }
