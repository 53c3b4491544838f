#!/bin/bash
# Takes the README's screenshots under Xvfb with openbox and a CJK font: the icon on a desktop,
# its tooltip, its menu, both job windows (the compression window also with one and with several
# files waiting) and the options window. Usage: dev/screenshots.sh [BUILD_DIR]
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
BIN=$BUILD/bin
HELPER=$BUILD/tests/e2e-helper
. "$ROOT/tests/e2e/xsession.sh"
need import display
start_x
OUT=$ROOT/docs
mkdir -p "$OUT" "$WORK/files/写真 2024"
export LANG=ja_JP.UTF-8

convert -size 800x600 gradient:'#3d7ea6-#b6d7a8' "$WORK/desktop.png"
display -window root "$WORK/desktop.png"
start_settings
setting Check1 1; setting iconleft 1500; setting icontop 1500
setting meltpath "/home/user/展開"; setting mdir1 "/home/user/展開"; setting mdir2 "/home/user/ダウンロード"
setting freezepath "/home/user/書庫"; setting fdir1 "/home/user/書庫"; setting moption4 1; setting moption1 1
setting Defdir "/home/user"

spawn "$BIN/pellum"
wait_window '^tembrel$' >/dev/null || fail "the icon did not appear"
sleep 0.5
import -window root -crop 220x160+40+40 "$OUT/icon.png"

# The icon's tooltip: hover, then wait for the tooltip window to map.
windows() { xdotool search --onlyvisible --classname pellum 2>/dev/null | wc -l; }
before=$(windows)
xdotool mousemove 120 130; sleep 0.2; xdotool mousemove 130 140
for _ in $(seq 50); do [ "$(windows)" -gt "$before" ] && break; sleep 0.1; done
[ "$(windows)" -gt "$before" ] || fail "the icon's tooltip did not show"
sleep 0.3
import -window root -crop 520x120+80+80 "$OUT/tooltip.png"
xdotool mousemove 700 550; sleep 0.5

xdotool mousemove 130 140 click 3
sleep 0.7
import -window root -crop 320x260+60+60 "$OUT/menu.png"
xdotool key Escape; sleep 0.3

# Each window from the menu: 解凍(&M), 圧縮(&F), 設定(&O).
shoot() {
    local key=$1 name=$2 file=$3
    xdotool mousemove 130 140 click 3; sleep 0.5; xdotool key "$key"; sleep 1
    local id
    id=$(wait_window "$name") || fail "$name did not open"
    sleep 0.5
    import -frame -window "$id" "$OUT/$file"
}
shoot m 'TEMBREL\(解凍' melt.png
xdotool key alt+F4; sleep 0.5
shoot f 'TEMBREL\(圧縮' freeze.png
xdotool key alt+F4; sleep 0.5
xdotool mousemove 130 140 click 3; sleep 0.5; xdotool key o; sleep 1
id=$(wait_window '^設定$') || fail "the options window did not open"
sleep 0.5
import -frame -window "$id" "$OUT/options.png"
xdotool key Escape; sleep 0.5

# The compression window opened by a drop on the icon shows what 圧縮 will pack.
echo "報告" >"$WORK/files/報告書.docx"; echo "集計" >"$WORK/files/集計表.xlsx"
drop_and_shoot() {
    local file=$1
    shift
    drag_to 130 140 "$@"
    local id
    id=$(wait_window 'TEMBREL\(圧縮') || fail "the compression window did not open"
    sleep 0.7
    import -frame -window "$id" "$OUT/$file"
    xdotool windowactivate --sync "$id" key Escape; sleep 0.5
}
drop_and_shoot freeze-one.png "$WORK/files/報告書.docx"
drop_and_shoot freeze-several.png "$WORK/files/報告書.docx" "$WORK/files/集計表.xlsx" "$WORK/files/写真 2024"
echo "screenshots written to $OUT"
