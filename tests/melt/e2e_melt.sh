#!/bin/sh
# The extraction as a user does it: the program started with an archive (as the file association
# starts it), the run chosen from the window's menu with the keyboard (Alt+F, F), the message
# box answered; the program must end and the extracted tree match the archive's source.
# Usage: e2e_melt.sh PELLUM. Exits 77 (skipped) when Xvfb, xdotool or bsdtar is missing outside CI.
set -u
pellum=$1

skip() {
    if [ -n "${CI:-}" ]; then
        echo "FAIL: $1 (required in CI)"
        exit 1
    fi
    echo "SKIP: $1"
    exit 77
}
for tool in Xvfb xdotool bsdtar; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done

work=$(mktemp -d)
xvfb_pid=
pellum_pid=
finish() {
    [ -n "$pellum_pid" ] && kill "$pellum_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT
fail() {
    echo "FAIL: $1"
    [ -f "$work/pellum.log" ] && sed 's/^/  pellum: /' "$work/pellum.log"
    exit 1
}

# Xvfb picks a free display itself and tells us its number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
i=0
while [ ! -s "$work/display" ]; do
    i=$((i + 1))
    [ $i -gt 100 ] && fail "Xvfb did not start"
    sleep 0.1
done
DISPLAY=:$(head -n1 "$work/display")
export DISPLAY

# The archive, made by a peer tool, with a blank and Japanese in its name and members.
mkdir -p "$work/src/sub/深い" "$work/out"
printf 'readme\n' >"$work/src/readme.txt"
head -c 70000 /dev/urandom >"$work/src/sub/data.bin"
printf 'かな\n' >"$work/src/sub/深い/名前.txt"
archive="$work/書庫 sample.zip"
(cd "$work/src" && bsdtar --format zip -cf "$archive" readme.txt sub) || fail "bsdtar could not build the archive"

mkdir -p "$work/config/tembrel" "$work/data"
printf '[setting]\nflg_First=True\nmeltpath=%s\n' "$work/out" >"$work/config/tembrel/tembrel.ini"

HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=xcb \
    "$pellum" "$archive" >"$work/pellum.log" 2>&1 &
pellum_pid=$!

# Waits for a visible window whose name matches $1 and gives it the keyboard.
focus_window() {
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -n1)
    [ -n "$window" ] || fail "no window named $1"
    xdotool mousemove --window "$window" 5 5
    xdotool windowfocus --sync "$window" 2>/dev/null
}

focus_window '^TEMBREL'
xdotool key alt+f
sleep 0.3
xdotool key f
focus_window '^tembrel$'
xdotool key Return

i=0
while kill -0 "$pellum_pid" 2>/dev/null; do
    i=$((i + 1))
    [ $i -gt 200 ] && fail "the program did not end after the message box"
    sleep 0.1
done
pellum_pid=

diff -r "$work/src" "$work/out" || fail "the extracted tree differs from the archive's source"
grep -q "^mdir1=$work/out/\$" "$work/config/tembrel/tembrel.ini" || fail "the destination did not enter the history"
[ -f "$archive" ] || fail "the archive was not kept"
echo "PASS: extracted through the window's menu; the program ended"
