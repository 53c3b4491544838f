#!/bin/bash
# The icon's holes let clicks through to the window below; its opaque pixels take them.
BIN=$1 HELPER=$2
. "$(dirname "$0")/xsession.sh"
start_x
start_settings; setting Check1 1; setting iconleft 1500; setting icontop 1500

spawn "$HELPER" clicks "$WORK/clicks.log"
wait_window '^e2e-clicks$' >/dev/null || fail "the click recorder did not appear"
spawn "$BIN/pellum"
icon=$(wait_window '^tembrel$') || fail "the icon did not appear"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$icon")"
[ "$X,$Y" = "100,100" ] || fail "the icon stands at $X,$Y, not at its saved 100,100"
xprop -id "$icon" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR || fail "the icon would get a task-bar button"

: >"$WORK/clicks.log"
xdotool mousemove 101 101 click 1   # pixel (1, 1): key colour
sleep 0.4
grep -q 'press 101 101' "$WORK/clicks.log" || fail "a click on a hole did not reach the window below"
xdotool mousemove 130 140 click 1   # pixel (30, 40): the name plate
sleep 0.4
grep -q 'press 130 140' "$WORK/clicks.log" && fail "a click on the picture went through the icon"
xdotool mousemove 100 130 click 1   # pixel (0, 30): the gap between cube and plate
sleep 0.4
grep -q 'press 100 130' "$WORK/clicks.log" || fail "a click in the gap row did not reach the window below"
echo "PASS"
