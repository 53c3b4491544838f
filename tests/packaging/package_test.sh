#!/bin/bash
# The Debian package as CPack makes it: its name, that it holds what the install rules install
# (under /usr, the plug-ins beside the program, links that resolve), dependencies computed from
# the binaries, icons of the sizes their folders say; no lintian error or warning; the desktop
# entry and the AppStream data valid as installed.
BUILD=$1
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in cpack dpkg-deb lintian desktop-file-validate appstreamcli identify; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        [ -n "${CI:-}" ] && fail "$tool is missing"
        echo "SKIP: $tool is not installed"; exit 77
    fi
done
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

cpack --config "$BUILD/CPackConfig.cmake" -B "$WORK/out" >"$WORK/cpack.log" 2>&1 || fail "cpack: $(cat "$WORK/cpack.log")"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
deb="$WORK/out/tembrel_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$WORK/out")"

# Exactly what `cmake --install` puts under a prefix, and nothing else.
cmake --install "$BUILD" --prefix "$WORK/prefix" >/dev/null || fail "cmake --install failed"
(cd "$WORK/prefix" && find . ! -type d | sed 's|^\.|./usr|' | sort) >"$WORK/installed"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$WORK/packaged"
diff -u "$WORK/installed" "$WORK/packaged" || fail "the package differs from what the install rules install"

root="$WORK/root"
dpkg-deb -x "$deb" "$root"
for command in pellum pellum-arc; do
    target=$(readlink -f "$root/usr/bin/$command")
    [ -x "$target" ] && [ ! -L "$target" ] || fail "/usr/bin/$command does not lead to a program"
done
# The program loads its plug-ins from its own folder: every plug-in built lies there.
for plugin in "$BUILD"/bin/lib*.so; do
    [ -f "$(dirname "$(readlink -f "$root/usr/bin/pellum")")/$(basename "$plugin")" ] \
        || fail "$(basename "$plugin") is not beside the program"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libarchive13 libdeflate0; do
    [[ $depends == *"$library "* ]] || fail "Depends lacks $library: $depends"
done
for icon in "$root"/usr/share/icons/hicolor/*/apps/tembrel.png; do
    size=$(basename "$(dirname "$(dirname "$icon")")")
    [ "$(identify -format '%wx%h' "$icon")" = "$size" ] || fail "the icon in $size is $(identify -format '%wx%h' "$icon")"
done

lintian --fail-on error,warning "$deb" >"$WORK/lintian.log" 2>&1 || fail "lintian: $(cat "$WORK/lintian.log")"
desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "the desktop entry is not valid"
# The screenshots are addresses on the web; what lies behind them is not checked here.
appstreamcli validate-tree --no-net "$root" >"$WORK/appstream.log" 2>&1 || fail "appstream: $(cat "$WORK/appstream.log")"
grep -qE '^[EW]:' "$WORK/appstream.log" && fail "appstream: $(cat "$WORK/appstream.log")"
echo PASS
