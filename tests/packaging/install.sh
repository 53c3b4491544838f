#!/bin/bash
# `cmake --install` puts the program and its plug-ins behind the command links, and the installed
# program's first start names the installed desktop entry as the archive handler when the command
# on PATH is this program, or else writes its own entry naming the installed program.
BUILD=$1
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
WORK=$(mktemp -d)
pids=""
trap 'for pid in $pids; do kill "$pid" 2>/dev/null; done; rm -rf "$WORK"' EXIT
prefix="$WORK/prefix"
cmake --install "$BUILD" --prefix "$prefix" >"$WORK/install.log" 2>&1 || fail "install failed: $(cat "$WORK/install.log")"
program=$(readlink -f "$prefix/bin/pellum")
[ -x "$program" ] || fail "bin/pellum does not lead to the program"

# The command through its link finds the plug-ins beside the real program.
echo hello >"$WORK/a.txt"
"$prefix/bin/pellum-arc" zip32j "-r -j -q \"$WORK/a.zip\" \"$WORK/a.txt\"" || fail "pellum-arc could not use its plug-in"
"$prefix/bin/pellum-arc" unzip32 "-xv --i \"$WORK/a.zip\" \"$WORK/out/\"" || fail "pellum-arc could not extract"
cmp -s "$WORK/a.txt" "$WORK/out/a.txt" || fail "the round trip through the installed plug-ins changed the file"

# first_start NAME PATH: starts the installed program with a fresh home (or the one prepared
# under that name) and waits until its first start has written the LZH default.
first_start() {
    home="$WORK/$1"
    mkdir -p "$home/run" && chmod 700 "$home/run"
    XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run" \
        XDG_DATA_DIRS="$prefix/share:/usr/share" PATH="$2" QT_QPA_PLATFORM=offscreen \
        "$prefix/bin/pellum" >"$home/pellum.log" 2>&1 &
    pids="$pids $!"
    for _ in $(seq 200); do
        grep -q '^application/x-lha=' "$home/config/mimeapps.list" 2>/dev/null && return
        sleep 0.05
    done
    fail "the first start wrote no defaults: $(cat "$home/pellum.log")"
}

first_start installed "$prefix/bin:$PATH"
grep -qx "application/x-lha=io.github.tembrel.Tembrel.desktop;" "$home/config/mimeapps.list" \
    || fail "the installed entry is not the LZH default: $(cat "$home/config/mimeapps.list")"
[ ! -e "$home/data/applications/pellum-file.desktop" ] || fail "a second entry was written beside the installed one"

# Another archive manager is the ZIP default already: it stays so.
mkdir -p "$WORK/taken/data/applications" "$WORK/taken/config"
printf '[Desktop Entry]\nType=Application\nName=Other\nExec=true %%F\nMimeType=application/zip;\n' \
    >"$WORK/taken/data/applications/org.example.Other.desktop"
printf '[Default Applications]\napplication/zip=org.example.Other.desktop;\n' >"$WORK/taken/config/mimeapps.list"
first_start taken "$prefix/bin:$PATH"
grep -qx "application/zip=org.example.Other.desktop;" "$home/config/mimeapps.list" \
    || fail "the first start took the ZIP default: $(cat "$home/config/mimeapps.list")"
grep -q "^application/zip=io.github" "$home/config/mimeapps.list" && fail "a second ZIP default was written"

first_start elsewhere "$PATH"
entry="$home/data/applications/pellum-file.desktop"
grep -qx "Exec=\"$program\" %f" "$entry" || fail "the association names $(grep Exec= "$entry" | head -1)"
grep -qx "application/x-lha=pellum-file.desktop;" "$home/config/mimeapps.list" || fail "no default for LZH"
echo PASS
