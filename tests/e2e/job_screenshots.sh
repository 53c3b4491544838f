#!/bin/bash
# Screenshots of what a running job shows, under Xvfb with openbox and a CJK font: the progress
# window, the password question (first and after a wrong one) and the overwrite question.
# Usage: tests/e2e/job_screenshots.sh [BUILD_DIR]
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build}
DEMO=$BUILD/tests/job-windows-demo
. "$ROOT/tests/e2e/xsession.sh"
need import
start_x
OUT=$ROOT/docs
mkdir -p "$OUT"
export LANG=ja_JP.UTF-8

shoot() {
    local what=$1 title=$2 file=$3
    spawn "$DEMO" "$what"
    local pid=$LAST_PID id
    id=$(wait_window "$title") || fail "$what did not appear"
    sleep ${4:-0.7}
    import -frame -window "$id" "$OUT/$file"
    kill "$pid" 2>/dev/null
    sleep 0.3
}
shoot progress 'TEMBREL\(解凍中' progress.png 1.8
shoot password '^パスワード$' password.png
shoot password-again '^パスワード$' password-again.png
shoot overwrite '^上書きの確認$' overwrite.png
echo "screenshots written to $OUT"
