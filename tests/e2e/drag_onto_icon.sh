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

drag_to_icon "$WORK/a.lzh"
melt=$(window_named 'TEMBREL(解凍)') || fail "dropping an .lzh on the icon did not open the extraction window"
# Closed through the window manager, as from its title bar: drops go back to the icon.
xdotool windowactivate --sync "$melt" key alt+F4
sleep 0.5
[ -z "$(xdotool search --onlyvisible --name 'TEMBREL\(' 2>/dev/null)" ] || fail "the extraction window did not close"

drag_to_icon "$WORK/notes.txt"
window_named 'TEMBREL(圧縮)' >/dev/null || fail "dropping a .txt on the icon did not open the compression window"
echo "PASS"
