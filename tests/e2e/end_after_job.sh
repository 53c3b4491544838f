#!/bin/bash
# A long job started by a drop on the icon at its default place: the progress window has its
# frame and keeps clear of the icon; 終了 from the icon's menu during the job, answered after
# the job ended (if the question is still up then), ends the program within 2 s.
BIN=$1 HELPER=$2
. "$(dirname "$0")/xsession.sh"
start_x
mkdir -p "$WORK/out"
linked_parts 20 3000000
start_settings; setting freezepath "$WORK/out"

spawn "$BIN/pellum"
pellum=$LAST_PID
icon=$(wait_window '^tembrel$') || fail "the icon did not appear"
sleep 0.5
window_box "$icon"
[ "$X,$Y" = "0,0" ] || fail "the icon is not at its default place: $X,$Y"
drag_to 30 40 "${files[@]}"
pack_as long

progress=$(wait_window 'TEMBREL\(圧縮中') || fail "no progress window"
sleep 0.5
extents=$(xprop -id "$progress" _NET_FRAME_EXTENTS)
read -r left right top bottom <<<"$(sed 's/.*= *//; s/,//g' <<<"$extents")"
[ "${top:-0}" -gt 0 ] || fail "the progress window has no frame: $extents"
window_box "$progress"
frame_left=$((X - left)) frame_top=$((Y - top))
frame_right=$((X + WIDTH + right)) frame_bottom=$((Y + HEIGHT + bottom))
if [ "$frame_left" -lt 62 ] && [ "$frame_top" -lt 45 ]; then
    fail "the progress window ($frame_left,$frame_top)-($frame_right,$frame_bottom) covers the icon"
fi
[ "$frame_right" -le 800 ] && [ "$frame_bottom" -le 600 ] && [ "$frame_left" -ge 0 ] && [ "$frame_top" -ge 0 ] ||
    fail "the progress window is not wholly on the screen: ($frame_left,$frame_top)-($frame_right,$frame_bottom)"

# 終了 from the icon's menu while the job runs asks whether to stop it.
xdotool mousemove 30 40 click 3
sleep 0.5
xdotool key x
asked=""
for _ in $(seq 6000); do
    [ -z "$asked" ] && message_box "$icon" 1 >/dev/null && asked=1
    xdotool search --onlyvisible --name 'TEMBREL\(圧縮中' >/dev/null 2>&1 || break
    sleep 0.1
done
xdotool search --onlyvisible --name 'TEMBREL\(圧縮中' >/dev/null 2>&1 && fail "the job did not end"
question=$(message_box "$icon" 1) && xdotool windowactivate --sync "$question" key Return 2>/dev/null
for _ in $(seq 20); do kill -0 "$pellum" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pellum" 2>/dev/null && fail "the program did not end within 2 s of the job's end"
[ -s "$WORK/out/long.lzh" ] || fail "the job did not make its archive"
echo "PASS${asked:+ (asked while the job ran)}"
