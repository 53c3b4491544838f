#!/bin/bash
# `cmake --install` puts the program, its plug-ins, commands, launcher entry and icons in place,
# and the installed program finds its plug-ins and associates archives with itself.
BUILD=$1
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'kill $pellum 2>/dev/null; rm -rf "$WORK"' EXIT
pellum=""
prefix="$WORK/prefix"
cmake --install "$BUILD" --prefix "$prefix" >"$WORK/install.log" 2>&1 || fail "install failed: $(cat "$WORK/install.log")"

for file in bin/pellum bin/pellum-arc lib/tembrel/pellum lib/tembrel/libunlha32.so lib/tembrel/libzip32j.so \
            lib/tembrel/libunzip32.so share/applications/tembrel.desktop \
            share/icons/hicolor/64x64/apps/tembrel.png share/icons/hicolor/128x128/apps/tembrel.png; do
    [ -e "$prefix/$file" ] || fail "$file is not installed"
done
grep -qx "Exec=\"$prefix/lib/tembrel/pellum\"" "$prefix/share/applications/tembrel.desktop" \
    || fail "the launcher does not start the installed program"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/tembrel.desktop" || fail "the launcher entry is not valid"
fi

# The command through its link finds the plug-ins beside the real program.
echo hello >"$WORK/a.txt"
"$prefix/bin/pellum-arc" zip32j "-r -j -q \"$WORK/a.zip\" \"$WORK/a.txt\"" || fail "pellum-arc could not use its plug-in"
"$prefix/bin/pellum-arc" unzip32 "-xv --i \"$WORK/a.zip\" \"$WORK/out/\"" || fail "pellum-arc could not extract"
cmp -s "$WORK/a.txt" "$WORK/out/a.txt" || fail "the round trip through the installed plug-ins changed the file"

# The first start of the installed program associates archives with the installed program.
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$prefix/bin/pellum" >"$WORK/pellum.log" 2>&1 &
pellum=$!
entry="$XDG_DATA_HOME/applications/pellum-file.desktop"
for _ in $(seq 100); do [ -s "$XDG_CONFIG_HOME/mimeapps.list" ] && break; sleep 0.1; done
grep -qx "Exec=\"$prefix/lib/tembrel/pellum\" %f" "$entry" || fail "the association names $(grep Exec= "$entry" | head -1)"
grep -q "application/zip=pellum-file.desktop;" "$XDG_CONFIG_HOME/mimeapps.list" || fail "no default for ZIP"
echo PASS
