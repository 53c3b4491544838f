#!/bin/bash
# During a long compression the progress window is up and changing, the icon's menu still opens and works,
# and キャンセル (the progress window's close, confirmed) leaves no archive behind.
BIN=$1 HELPER=$2
. "$(dirname "$0")/xsession.sh"
start_x
mkdir -p "$WORK/out"
linked_parts 16 30000000
start_settings; setting iconleft 1500; setting icontop 1500; setting freezepath "$WORK/out"

spawn "$BIN/pellum"
icon=$(wait_window '^tembrel$') || fail "the icon did not appear"
drag_to_icon "${files[@]}"
pack_as long

progress=$(wait_window 'TEMBREL\(圧縮中') || fail "no progress window"
# The window is alive: two pictures of it a moment apart differ (bar, bytes, times).
import -window "$progress" "$WORK/progress-1.png" || fail "cannot take a picture of the progress window"
moved=""
for _ in $(seq 100); do
    import -window "$progress" "$WORK/progress-2.png"
    [ "$(compare -metric AE "$WORK/progress-1.png" "$WORK/progress-2.png" null: 2>&1)" != 0 ] && { moved=1; break; }
    sleep 0.1
done
[ -n "$moved" ] || fail "the progress window did not change during the job"
# The icon's menu opens while the job runs: its ﾊﾞｰｼﾞｮﾝ情報 shows the version box.
xdotool mousemove 130 140 click 3
sleep 0.5
xdotool key a
version=$(wait_window '^ﾊﾞｰｼﾞｮﾝ情報$') || fail "the icon's menu did not work during the job"
xdotool windowactivate --sync "$version" key Return
sleep 0.3
xdotool search --onlyvisible --name 'TEMBREL\(圧縮中' >/dev/null || fail "the job ended before it could be cancelled"

# Closing the progress window asks whether to stop; はい is the default answer.
xdotool windowactivate --sync "$progress" key alt+F4
question=$(message_box "$icon") || fail "closing the progress window did not ask whether to stop"
sleep 0.3
xdotool windowactivate --sync "$question" key Return
for _ in $(seq 300); do
    xdotool search --onlyvisible --name 'TEMBREL\(圧縮中' >/dev/null 2>&1 || break
    sleep 0.1
done
xdotool search --onlyvisible --name 'TEMBREL\(圧縮中' >/dev/null 2>&1 && fail "the job did not stop"
sleep 0.5
leftovers=$(ls -A "$WORK/out")
[ -z "$leftovers" ] || fail "a cancelled job left files behind: $leftovers"
echo PASS
