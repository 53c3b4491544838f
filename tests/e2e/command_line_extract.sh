#!/bin/bash
# The extraction as a user does it: the program started with an archive (as the file association
# starts it), the run chosen from the window's menu with the keyboard (Alt+F, F), the message
# box answered; the program must end and the extracted tree match the archive's source.
BIN=$1
. "$(dirname "$0")/xsession.sh"
need bsdtar
start_x

# The archive, made by a peer tool, with a blank and Japanese in its name and members.
mkdir -p "$WORK/src/sub/深い" "$WORK/out"
printf 'readme\n' >"$WORK/src/readme.txt"
head -c 70000 /dev/urandom >"$WORK/src/sub/data.bin"
printf 'かな\n' >"$WORK/src/sub/深い/名前.txt"
archive="$WORK/書庫 sample.zip"
(cd "$WORK/src" && bsdtar --format zip -cf "$archive" readme.txt sub) || fail "bsdtar could not build the archive"
start_settings; setting meltpath "$WORK/out"

open_archive "$archive"
xdotool key alt+f; sleep 0.3; xdotool key f
close_completion
diff -r "$WORK/src" "$WORK/out" || fail "the extracted tree differs from the archive's source"
grep -q "^mdir1=$WORK/out/\$" "$XDG_CONFIG_HOME/tembrel/tembrel.ini" || fail "the destination did not enter the history"
[ -f "$archive" ] || fail "the archive was not kept"
echo "PASS"
