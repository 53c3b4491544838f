#!/bin/bash
# A 7z archive made by 7-Zip, dragged onto the icon: the extraction window opens for it, and
# Return extracts it through unarc32. The archive holds only a folder of its own name and
# 書庫名でﾃﾞｨﾚｸﾄﾘ作成 is on, so the folder is not doubled.
BIN=$1 HELPER=$2
. "$(dirname "$0")/xsession.sh"
need 7zz
start_x

mkdir -p "$WORK/src/写真 2024/深い" "$WORK/out"
printf 'readme\n' >"$WORK/src/写真 2024/readme.txt"
head -c 70000 /dev/urandom >"$WORK/src/写真 2024/深い/data.bin"
archive="$WORK/写真 2024.7z"
(cd "$WORK/src" && 7zz a -bd "$archive" "写真 2024" >/dev/null) || fail "7zz could not build the archive"
start_settings; setting meltpath "$WORK/out"; setting moption1 1; setting iconleft 1500; setting icontop 1500

spawn "$BIN/pellum"
icon=$(wait_window '^tembrel$') || fail "the icon did not appear"
drag_to_icon "$archive"
melt=$(window_named 'TEMBREL(解凍)') || fail "dropping a .7z on the icon did not open the extraction window"
xdotool windowactivate --sync "$melt"
sleep 0.3
xdotool key Return

box=$(message_box "$icon" 300) || fail "no completion message"
xdotool windowactivate --sync "$box"; sleep 0.2
xdotool key Return
diff -r "$WORK/src" "$WORK/out" || fail "the extracted tree differs from the archive's source"
[ -f "$archive" ] || fail "the archive was not kept"
echo "PASS"
