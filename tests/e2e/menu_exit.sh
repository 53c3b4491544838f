#!/bin/bash
# The icon moves with a left drag; right click, the menu, 終了 saves the place; the next start
# puts the icon there again.
BIN=$1
. "$(dirname "$0")/xsession.sh"
start_x
start_settings; setting Check1 1

spawn "$BIN/pellum"
pellum=$LAST_PID
icon=$(wait_window '^tembrel$') || fail "the icon did not appear"
sleep 0.5
xdotool mousemove 30 40 mousedown 1
for step in 1 2 3 4 5; do xdotool mousemove $((30 + 40 * step)) $((40 + 30 * step)); sleep 0.1; done
xdotool mouseup 1
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$icon")"
[ "$X" -gt 100 ] && [ "$Y" -gt 100 ] || fail "a left drag did not move the icon (now at $X,$Y)"
moved_x=$X moved_y=$Y

xdotool mousemove $((X + 30)) $((Y + 40)) click 3
sleep 0.5
xdotool key x
for _ in $(seq 50); do kill -0 "$pellum" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pellum" 2>/dev/null && fail "終了 did not end the program"
grep -q "^iconleft=$((moved_x * 15))\$" "$XDG_CONFIG_HOME/tembrel/tembrel.ini" || fail "iconleft not saved as $((moved_x * 15))"
grep -q "^icontop=$((moved_y * 15))\$" "$XDG_CONFIG_HOME/tembrel/tembrel.ini" || fail "icontop not saved as $((moved_y * 15))"

spawn "$BIN/pellum"
icon=$(wait_window '^tembrel$') || fail "the icon did not appear again"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$icon")"
[ "$X,$Y" = "$moved_x,$moved_y" ] || fail "the new start placed the icon at $X,$Y, not $moved_x,$moved_y"
echo "PASS"
