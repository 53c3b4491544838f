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

# Prints the id of a visible message box (named like the icon, but not the icon ICON), waiting
# up to TENTHS tenths of a second (default 100).
message_box() {
    for _ in $(seq "${2:-100}"); do
        id=$(xdotool search --onlyvisible --name '^tembrel$' 2>/dev/null | grep -vx "$1" | head -n1)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        sleep 0.1
    done
    return 1
}

# In the compression window, now in front, names the archive NAME and packs (the archive field
# comes round three Tabs after the 圧縮 button, which has the focus; Enter packs).
pack_as() {
    local freeze
    freeze=$(window_named 'TEMBREL(圧縮)') || fail "the compression window did not open"
    xdotool windowactivate --sync "$freeze"
    sleep 0.3
    xdotool key Tab Tab Tab
    xdotool type --delay 20 "$1"
    xdotool key Return
}

# Drags files from a fresh drag source (the e2e helper) to the screen point X Y.
drag_to() {
    local target_x=$1 target_y=$2
    shift 2
    spawn "$HELPER" drag "$@"
    local source_pid=$LAST_PID
    local source
    source=$(wait_window '^e2e-drag$') || fail "the drag source did not appear"
    sleep 0.3
    window_box "$source"
    xdotool mousemove $((X + 40)) $((Y + 40)) mousedown 1
    for step in 1 2 3 4 5 6 7 8; do
        xdotool mousemove $((X + 40 + (target_x - X - 40) * step / 8)) $((Y + 40 + (target_y - Y - 40) * step / 8))
        sleep 0.1
    done
    xdotool mousemove $((target_x + 1)) $((target_y + 1)); sleep 0.2; xdotool mouseup 1
    sleep 0.3
    kill "$source_pid" 2>/dev/null
}

window_named() {
    for _ in $(seq 50); do
        for id in $(xdotool search --onlyvisible --name 'TEMBREL\(' 2>/dev/null); do
            [ "$(xdotool getwindowname "$id")" = "$1" ] && { echo "$id"; return 0; }
        done
        sleep 0.1
    done
    return 1
}

# Drags files onto the icon's name plate, at (130, 140) for an icon saved at 100, 100.
drag_to_icon() { drag_to 130 140 "$@"; }

# Sets X, Y (absolute, of the client area), WIDTH and HEIGHT of a window.
window_box() {
    local info
    info=$(xwininfo -id "$1")
    X=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
    Y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
    WIDTH=$(sed -n 's/.*Width: *//p' <<<"$info")
    HEIGHT=$(sed -n 's/.*Height: *//p' <<<"$info")
}

# A long job's source: COUNT hard links to one file of about BYTES of base64 text, under
# $WORK/src, named in the array `files` (a long job without filling the disk).
linked_parts() {
    local count=$1 bytes=$2 i
    mkdir -p "$WORK/src"
    head -c "$bytes" /dev/urandom | base64 >"$WORK/src/part00.txt"
    files=("$WORK/src/part00.txt")
    for i in $(seq -w 1 $((count - 1))); do
        ln "$WORK/src/part00.txt" "$WORK/src/part$i.txt"
        files+=("$WORK/src/part$i.txt")
    done
}

setting() { printf '%s=%s\n' "$1" "$2" >>"$XDG_CONFIG_HOME/tembrel/tembrel.ini"; }
start_settings() { printf '[setting]\nflg_First=True\n' >"$XDG_CONFIG_HOME/tembrel/tembrel.ini"; }

# Starts the program with ARCHIVE (as the file association does) and brings its extraction
# window to the front; PELLUM is the program's process.
open_archive() {
    spawn "$BIN/pellum" "$1"
    PELLUM=$LAST_PID
    local melt
    melt=$(wait_window '^TEMBREL') || fail "the extraction window did not open"
    xdotool windowactivate --sync "$melt"
    sleep 0.3
}

# Answers the completion message with Return; the program must then end.
close_completion() {
    local box
    box=$(wait_window '^tembrel$') || fail "no completion message"
    xdotool windowactivate --sync "$box"; sleep 0.2
    xdotool key Return
    for _ in $(seq 200); do kill -0 "$PELLUM" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$PELLUM" 2>/dev/null && fail "the program did not end after the message box"
}
