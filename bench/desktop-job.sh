#!/usr/bin/env bash
# bench/desktop-job.sh: one extraction through the desktop program (window, worker thread,
# progress window) against the same command through pellum-arc, on a ~1 GB ZIP.
#
# The desktop job is timed from the Return that starts it in the extraction window until its
# completion message appears (polled every few milliseconds), under Xvfb with openbox, so
# start-up and window handling are left out: what is compared is the job itself. Each side
# runs ROUNDS times (default 3), alternating; the medians and their ratio are printed.
# usage: bench/desktop-job.sh [BUILD_DIR]   (default build; needs bin/pellum, bin/pellum-arc)
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BIN=${1:-$ROOT/build}/bin
ROUNDS=${ROUNDS:-3}
[ -x "$BIN/pellum" ] && [ -x "$BIN/pellum-arc" ] || { echo "desktop-job: build pellum and pellum-arc first" >&2; exit 1; }
. "$ROOT/tests/e2e/xsession.sh"
start_x

# Four members of 250 MB: text (compresses) and random bytes (stored), as mail attachments are.
mkdir -p "$WORK/src"
for i in 1 2; do
    head -c 187500000 /dev/urandom | base64 -w 76 >"$WORK/src/text$i.txt"
    head -c 250000000 /dev/urandom >"$WORK/src/random$i.bin"
done
archive="$WORK/job.zip"
(cd "$WORK/src" && zip -q -1 -r "$archive" .) || fail "zip could not build the archive"
now() { date +%s.%N; }
median() { sort -n | sed -n "$(( (ROUNDS + 1) / 2 ))p"; }

arc_times=() desk_times=()
for ((round = 1; round <= ROUNDS; round++)); do
    rm -rf "$WORK/out"; mkdir -p "$WORK/out"; sync
    t0=$(now)
    "$BIN/pellum-arc" --no-progress unzip32 "-x \"$archive\" \"$WORK/out/\"" || fail "pellum-arc failed"
    arc_times+=("$(echo "$(now) - $t0" | bc)")

    rm -rf "$WORK/out"; mkdir -p "$WORK/out"; sync
    start_settings; setting meltpath "$WORK/out"
    open_archive "$archive"
    t0=$(now)
    xdotool key Return
    until xdotool search --onlyvisible --name '^tembrel$' >/dev/null 2>&1; do
        kill -0 "$PELLUM" 2>/dev/null || fail "the program ended without its completion message"
        sleep 0.005
    done
    desk_times+=("$(echo "$(now) - $t0" | bc)")
    close_completion
    diff -r -q "$WORK/src" "$WORK/out" >/dev/null || fail "the desktop extraction differs from the source"
done
a=$(printf '%s\n' "${arc_times[@]}" | median)
d=$(printf '%s\n' "${desk_times[@]}" | median)
printf 'extract 1 GB zip: pellum-arc %.2f s, desktop job %.2f s, ratio %.2f (medians of %d; all: %s | %s)\n' \
    "$a" "$d" "$(echo "$d / $a" | bc -l)" "$ROUNDS" "${arc_times[*]}" "${desk_times[*]}"
