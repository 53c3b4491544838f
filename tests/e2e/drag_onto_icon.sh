#!/bin/bash
# Real drags from another program: an archive opens the extraction window, a text file the
# compression window.
BIN=$1 HELPER=$2
. "$(dirname "$0")/xsession.sh"
start_x
start_settings; setting Check1 1; setting iconleft 1500; setting icontop 1500
: >"$WORK/a.lzh"; echo hello >"$WORK/notes.txt"

spawn "$BIN/pellum"
wait_window '^tembrel$' >/dev/null || fail "the icon did not appear"

# Drags the file from a fresh drag source onto the icon's name plate (130, 140).
drag_to_icon() {
    spawn "$HELPER" drag "$1"
    local source_pid=$LAST_PID
    local source
    source=$(wait_window '^e2e-drag$') || fail "the drag source did not appear"
    sleep 0.3
    eval "$(xdotool getwindowgeometry --shell "$source")"
    xdotool mousemove $((X + 40)) $((Y + 40)) mousedown 1
    for step in 1 2 3 4 5 6 7 8; do
        xdotool mousemove $((X + 40 + (130 - X - 40) * step / 8)) $((Y + 40 + (140 - Y - 40) * step / 8))
        sleep 0.1
    done
    xdotool mousemove 131 141; sleep 0.2; xdotool mouseup 1
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

drag_to_icon "$WORK/a.lzh"
melt=$(window_named 'TEMBREL(解凍)') || fail "dropping an .lzh on the icon did not open the extraction window"
# Closed through the window manager, as from its title bar: drops go back to the icon.
xdotool windowactivate --sync "$melt" key alt+F4
sleep 0.5
[ -z "$(xdotool search --onlyvisible --name 'TEMBREL\(' 2>/dev/null)" ] || fail "the extraction window did not close"

drag_to_icon "$WORK/notes.txt"
window_named 'TEMBREL(圧縮)' >/dev/null || fail "dropping a .txt on the icon did not open the compression window"
echo "PASS"
