#!/bin/bash
# The file managers' menus as a user meets them: every menu file the package installs is parsed,
# and each command it holds is run on sample archives and files under X, with the progress
# window and the messages; results are read back with peer tools, exit statuses checked.
BIN=$1
. "$(dirname "$0")/xsession.sh"
need bsdtar lhasa
start_x
MENUS="$BIN/../packaging/generated"
TAP="$(dirname "$0")/../../packaging/menus/thunar/tembrel.tap"
export PATH="$BIN:$PATH"
start_settings

# Every action command of every menu file, by the action it runs; each must be one of the four.
declare -A COMMAND
while IFS= read -r line; do
    command=${line#*=}
    [[ $command =~ ^pellum\ --(extract-here|extract-to|compress-lzh|compress-zip)\ %F$ ]] \
        || fail "unexpected menu command: $line"
    COMMAND[${BASH_REMATCH[1]}]=$command
done < <(grep -h '^Exec=pellum -' "$MENUS"/*.desktop "$MENUS"/{dolphin,nemo,file-manager}/*;
         grep -hE '^(create|extract|extract_to)=' "$MENUS/libfm/archivers.list")
[ ${#COMMAND[@]} -eq 4 ] || fail "the menus offer ${#COMMAND[@]} of the four actions"

# run_menu ACTION PATH...: runs the menu command of ACTION with the paths for %F, in the
# background; PELLUM is its process. finish STATUS waits for it and checks its exit status.
run_menu() {
    local -a words
    read -ra words <<<"${COMMAND[$1]}"
    shift
    spawn "${words[@]:0:${#words[@]}-1}" "$@"
    PELLUM=$LAST_PID
}
finish() {
    local status
    for _ in $(seq 300); do kill -0 "$PELLUM" 2>/dev/null || break; sleep 0.1; done
    wait "$PELLUM"; status=$?
    [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
}
# Answers the message box that must come up with Return.
answer_message() {
    local box
    box=$(wait_window '^tembrel$') || fail "no message: $1"
    xdotool windowactivate --sync "$box"; sleep 0.2; xdotool key Return
}
# same TREE DIRECTORY: the files under both are equal.
same() { diff -r "$1" "$2" >/dev/null || fail "$2 differs from $1"; }

# Samples: a tree of loose files, a tree in one top folder, one file; as ZIP (bsdtar) and LZH.
D="$WORK/ダウンロード"
mkdir -p "$D" "$WORK/loose/sub" "$WORK/inner/写真" "$WORK/single"
printf 'a\n' >"$WORK/loose/a.txt"; head -c 50000 /dev/urandom >"$WORK/loose/sub/b.bin"
printf 'x\n' >"$WORK/inner/写真/x.txt"
printf 'memo\n' >"$WORK/single/memo.txt"
(cd "$WORK/loose" && bsdtar --format zip -cf "$D/loose files.zip" a.txt sub) || fail "bsdtar failed"
(cd "$WORK" && bsdtar --format zip -cf "$D/inner.zip" inner) || fail "bsdtar failed"
"$BIN/pellum-arc" unlha32 "a -n1 \"$D/one file.lzh\" \"$WORK/single/memo.txt\"" >/dev/null || fail "no LZH sample"
printf 'theirs\n' >"$D/memo.txt"

# ここに解凍: loose files into a folder named after the archive, a single top folder and a single
# file directly beside it, a taken name numbered; run again, the folder's name is numbered.
run_menu extract-here "$D/loose files.zip" "$D/inner.zip" "$D/one file.lzh"
finish 0
same "$WORK/loose" "$D/loose files"
same "$WORK/inner" "$D/inner"
same "$WORK/single/memo.txt" "$D/memo (2).txt"
grep -qx theirs "$D/memo.txt" || fail "the file already there was replaced"
spawn "$TAP" extract-here "$D" "$D/loose files.zip"
PELLUM=$LAST_PID
finish 0
same "$WORK/loose" "$D/loose files (2)"
[ -z "$(find "$D" -name '.tembrel-*')" ] || fail "a work folder was left"

# LZH に圧縮 of one folder, ZIP に圧縮 of several items (named after their folder), and
# Thunar's create of one file; each read back by a peer tool.
P="$WORK/作業"
mkdir -p "$P"
cp -r "$WORK/loose" "$P/photos"; printf 'note\n' >"$P/note.txt"
run_menu compress-lzh "$P/photos"
finish 0
mkdir "$WORK/lzh" && (cd "$WORK/lzh" && lhasa xq "$P/photos.lzh") || fail "lhasa could not read photos.lzh"
same "$WORK/loose" "$WORK/lzh/photos"
run_menu compress-zip "$P/note.txt" "$P/photos"
finish 0
mkdir "$WORK/zip" && bsdtar -xf "$P/作業.zip" -C "$WORK/zip" || fail "bsdtar could not read 作業.zip"
same "$P/photos" "$WORK/zip/photos"
same "$P/note.txt" "$WORK/zip/note.txt"
spawn "$TAP" create "$P" "$P/note.txt"
PELLUM=$LAST_PID
finish 0
[ "$(bsdtar -tf "$P/note.txt.zip")" = note.txt ] || fail "note.txt.zip does not hold note.txt alone"
run_menu compress-zip "$P/note.txt"
finish 0
[ -f "$P/note.txt (2).zip" ] || fail "a second archive of the same name was not numbered"

# 解凍先を指定...: the extraction window with the archive; closing it ends the program.
run_menu extract-to "$D/inner.zip"
melt=$(wait_window '^TEMBREL\(解凍\)$') || fail "the extraction window did not open"
xdotool windowactivate --sync "$melt"; sleep 0.2; xdotool key Escape
finish 0

# A dock starts an action without files: a message, status 2. Help needs no window.
spawn pellum --compress-lzh
PELLUM=$LAST_PID
answer_message "for an action without names"
finish 2
pellum --help | grep -q -- '--extract-here' || fail "--help does not list the actions"
echo "PASS"
