#!/bin/bash
# The stacking band as the window manager sees it: above with 最前面表示, below without, and
# switched by the options window's OK.
BIN=$1
. "$(dirname "$0")/xsession.sh"
start_x
start_settings; setting Check1 1

state() { xprop -id "$1" _NET_WM_STATE; }

spawn "$BIN/pellum"
icon=$(wait_window '^tembrel$') || fail "the icon did not appear"
sleep 0.5
state "$icon" | grep -q _NET_WM_STATE_ABOVE || fail "not above with 最前面表示: $(state "$icon")"

# Right click, 設定(&O), toggle 最前面表示 (it has the focus first), Tab to OK, press it; then
# the icon must be in band $1 and not in band $2.
toggle_and_expect() {
    xdotool mousemove 30 40 click 3; sleep 0.5
    xdotool key o; sleep 1
    wait_window '^設定$' >/dev/null || fail "the options window did not open"
    xdotool key space; sleep 0.2; xdotool key Tab; sleep 0.2; xdotool key Return
    sleep 1
    state "$icon" | grep -q "_NET_WM_STATE_$1" || fail "not $1 after toggling: $(state "$icon")"
    state "$icon" | grep -q "_NET_WM_STATE_$2" && fail "still $2 after toggling"
}

toggle_and_expect BELOW ABOVE
grep -q '^Check1=0$' "$XDG_CONFIG_HOME/tembrel/tembrel.ini" || fail "Check1 not saved as 0"
toggle_and_expect ABOVE BELOW
grep -q '^Check1=1$' "$XDG_CONFIG_HOME/tembrel/tembrel.ini" || fail "Check1 not saved as 1"
echo "PASS"
