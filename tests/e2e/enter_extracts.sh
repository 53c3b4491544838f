#!/bin/bash
# Enter alone extracts: the program started with an archive, Return pressed in its window, the
# completion message (which also offers ﾌｫﾙﾀﾞを開く) answered with Return. The archive holds
# only a folder of its own name and 書庫名でﾃﾞｨﾚｸﾄﾘ作成 is on, so the folder is not doubled.
BIN=$1
. "$(dirname "$0")/xsession.sh"
need bsdtar
start_x

mkdir -p "$WORK/src/同名/sub" "$WORK/out"
printf 'readme\n' >"$WORK/src/同名/readme.txt"
printf 'かな\n' >"$WORK/src/同名/sub/名前.txt"
archive="$WORK/同名.zip"
(cd "$WORK/src" && bsdtar --format zip -cf "$archive" 同名) || fail "bsdtar could not build the archive"
start_settings; setting meltpath "$WORK/out"; setting moption1 1

open_archive "$archive"
xdotool key Return
close_completion
diff -r "$WORK/src" "$WORK/out" || fail "the extracted tree differs from the archive's source"
echo "PASS"
