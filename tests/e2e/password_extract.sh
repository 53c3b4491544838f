#!/bin/bash
# An encrypted ZIP extracts after the password is typed: a wrong one first (the prompt comes
# back), then the right one; the tree matches the source and no file of it was left before.
BIN=$1
. "$(dirname "$0")/xsession.sh"
need zip
start_x

mkdir -p "$WORK/src/フォルダ" "$WORK/out"
printf 'readme\n' >"$WORK/src/readme.txt"
head -c 300000 /dev/urandom >"$WORK/src/フォルダ/data.bin"
archive="$WORK/暗号 mail.zip"
(cd "$WORK/src" && zip -q -r -P 'right one' "$archive" .) || fail "zip could not build the archive"
start_settings; setting meltpath "$WORK/out"

open_archive "$archive"
xdotool key Return

prompt=$(wait_window '^パスワード$') || fail "no password prompt"
xdotool windowactivate --sync "$prompt"; sleep 0.2
xdotool type --delay 20 'wrong'; xdotool key Return
# The same prompt closes and comes back for the next attempt.
for _ in $(seq 100); do xdotool search --onlyvisible --name '^パスワード$' >/dev/null 2>&1 || break; sleep 0.05; done
prompt=$(wait_window '^パスワード$') || fail "a wrong password was not asked again"
# Only the hidden temporary of the entry being tried may exist meanwhile, never a final name.
written=$(find "$WORK/out" -type f ! -name '.tembrel-*.part')
[ -z "$written" ] || fail "a file was written before the right password: $written"
xdotool windowactivate --sync "$prompt"; sleep 0.2
xdotool type --delay 20 'right one'; xdotool key Return

close_completion
diff -r "$WORK/src" "$WORK/out" || fail "the extracted tree differs from the archive's source"
echo "PASS"
