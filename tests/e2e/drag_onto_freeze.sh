#!/bin/bash
# Files dragged from another program onto the open compression window become an archive that a
# peer tool reads back whole.
BIN=$1 HELPER=$2
. "$(dirname "$0")/xsession.sh"
need bsdtar
start_x
mkdir -p "$WORK/out" "$WORK/src/sub/empty"
echo hello >"$WORK/notes.txt"
echo "表 ソ 能" >"$WORK/src/日本語 名.txt"
head -c 100000 /dev/urandom >"$WORK/src/sub/random.bin"
start_settings; setting Check1 1; setting iconleft 1500; setting icontop 1500; setting freezepath "$WORK/out"

spawn "$BIN/pellum"
wait_window '^tembrel$' >/dev/null || fail "the icon did not appear"
drag_to_icon "$WORK/notes.txt"
freeze=$(window_named 'TEMBREL(圧縮)') || fail "the compression window did not open"

# Name the archive: the archive field comes round three Tabs after the 圧縮 button.
xdotool windowactivate --sync "$freeze"
sleep 0.3
xdotool key Tab Tab Tab
xdotool type --delay 20 dropped
window_box "$freeze"
drag_to $((X + WIDTH / 2)) $((Y + HEIGHT - 20)) "$WORK/src/日本語 名.txt" "$WORK/src/sub"

archive="$WORK/out/dropped.lzh"
for _ in $(seq 100); do [ -s "$archive" ] && break; sleep 0.1; done
sleep 1
[ -s "$archive" ] || fail "no archive after the drop: $(ls -la "$WORK/out")"
mkdir "$WORK/peer"
bsdtar --options hdrcharset=CP932 -xf "$archive" -C "$WORK/peer" || fail "bsdtar could not read the archive"
diff -r "$WORK/src" "$WORK/peer" || fail "the archive does not hold the dropped files whole"
echo PASS
