#!/usr/bin/env bash
# bench/run.sh: times pellum-arc and its plug-ins beside the usual archive tools, in one run.
#
# Builds a Release pellum-arc and the plug-ins in build/bench, builds (or reuses) the corpora
# with /work/shared/bench/make-corpus.sh under build/bench/work/corpus, then measures:
#   ZIP: folder-form creation of tree and big (vs zip -6, 7zz -mx1), 1,000 single-file adds as
#        separate processes (vs a zip -q -j loop), extraction of Info-ZIP's archives (vs unzip,
#        7zz, bsdtar); LZH: creation -lh5/-lh7 (vs jlha), 1,000 single adds (jlha on a subset),
#        extraction of jlha's archives (vs lhasa, 7zz, bsdtar); and inside one process, N single
#        adds against one folder command (bench/adds.cpp), for both compressors.
#   a 2 MB append to the 200 MB archive of big (vs zip); and the cost of a progress listener
#   (bench/callbacks.cpp: the same extraction through both entry points, alternating).
# Every creation and extraction row, ours and the peers', gives system calls per file of the
# corpus (strace -c -f, one untimed run) beside wall, user+sys CPU and peak RSS (/usr/bin/time).
# Short cases take the median of 3. Archives and extracted trees go to a tmpfs (/dev/shm, or
# one mounted under build/bench when that is missing or too small): the disks here swing by
# several times from run to run, and in memory the CPU and the system calls are what count.
#
# Environment: BENCH_REPS (repetitions of short cases, default 3), JLHA_ADDS (how many of the
# 1,000 single adds jlha does, default 200; its time is scaled to 1,000 and marked so),
# BENCH_CORPUS (an existing corpus directory to use instead of building one), BENCH_ONLY (a
# space-separated subset of: zip-create zip-adds zip-extract zip-append lzh-create lzh-adds
# lzh-extract inprocess; default all).
set -uo pipefail
export LC_ALL=C.UTF-8

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build/bench
WORK=$BUILD/work
CORPUS=${BENCH_CORPUS:-$WORK/corpus}
ONLY=${BENCH_ONLY:-zip-create zip-adds zip-extract zip-append lzh-create lzh-adds lzh-extract inprocess}
REPS=${BENCH_REPS:-3}
JLHA_ADDS=${JLHA_ADDS:-200}
MAKE_CORPUS=/work/shared/bench/make-corpus.sh
BIN=$BUILD/bin
PELLUM=$BIN/pellum-arc
RESULTS=$WORK/results.tsv

say() { printf '== %s\n' "$*" >&2; }
die() { printf 'bench: %s\n' "$*" >&2; exit 1; }

# ---------------------------------------------------------------- tools
if [ ! -x /usr/bin/time ]; then
    say "installing GNU time (/usr/bin/time is missing)"
    if [ "$(id -u)" = 0 ]; then apt-get install -y time >/dev/null || die "cannot install time"
    else sudo apt-get install -y time >/dev/null || die "cannot install time"; fi
fi
have() { command -v "$1" >/dev/null 2>&1; }
if ! have strace; then
    say "installing strace (system calls per extracted file)"
    if [ "$(id -u)" = 0 ]; then apt-get install -y strace >/dev/null || say "cannot install strace"
    else sudo apt-get install -y strace >/dev/null || say "cannot install strace"; fi
fi

# ---------------------------------------------------------------- build
mkdir -p "$BUILD"
say "Release build in $BUILD"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTEMBREL_GUI=OFF -DTEMBREL_TESTS=OFF \
    >"$BUILD.configure.log" 2>&1 || die "configure failed, see $BUILD.configure.log"
targets=(pellum-arc)
# The list is taken whole first: grep -q would end the pipe early and, under pipefail, the
# SIGPIPE'd ninja would make a present target look missing.
known=$(ninja -C "$BUILD" -t targets all 2>/dev/null)
for t in unlha32 zip32j unzip32; do
    grep -q "^$t:" <<<"$known" && targets+=("$t")
done
nice -n 10 ninja -C "$BUILD" -j2 "${targets[@]}" >"$BUILD.build.log" 2>&1 || die "build failed, see $BUILD.build.log"
plugin() { [ -f "$BIN/lib$1.so" ]; }
for t in unlha32 zip32j unzip32; do plugin "$t" || say "lib$t.so is not built: its cases are skipped"; done

ADDS=$BUILD/adds
g++ -O2 -std=c++20 -Wall -Wextra -I "$ROOT/archivers" "$ROOT/bench/adds.cpp" -ldl -o "$ADDS" \
    || die "cannot build bench/adds.cpp"
CALLBACKS=$BUILD/callbacks
g++ -O2 -std=c++20 -Wall -Wextra -I "$ROOT/archivers" "$ROOT/bench/callbacks.cpp" -ldl -o "$CALLBACKS" \
    || die "cannot build bench/callbacks.cpp"

# ---------------------------------------------------------------- corpora
mkdir -p "$WORK"
if [ -d "$CORPUS/tree" ] && [ -d "$CORPUS/big" ] && [ -d "$CORPUS/many" ] && [ -f "$CORPUS/.complete" ]; then
    say "reusing corpora in $CORPUS"
else
    say "building corpora in $CORPUS (takes a while)"
    bash "$MAKE_CORPUS" "$CORPUS" >"$WORK/corpus.log" 2>&1 || die "make-corpus failed, see $WORK/corpus.log"
    touch "$CORPUS/.complete"
fi
# The output tmpfs: /dev/shm when it has 3 GiB free, else our own under build/bench (root).
shm_free=$(df -Pk /dev/shm 2>/dev/null | awk 'NR == 2 { print $4 }')
if [ "$(findmnt -n -o FSTYPE /dev/shm 2>/dev/null)" = tmpfs ] && [ "${shm_free:-0}" -gt $((3 << 20)) ]; then
    OUT=/dev/shm/tembrel-bench-$$
else
    OUT=$BUILD/tmpfs
    mkdir -p "$OUT"
    if [ "$(findmnt -n -o FSTYPE "$OUT" 2>/dev/null)" != tmpfs ]; then
        mount -t tmpfs -o size=4g tembrel-bench "$OUT" || die "no tmpfs for the output: /dev/shm is too small and mounting one needs root"
    fi
fi
rm -rf "${OUT:?}"/*
mkdir -p "$OUT"
trap 'rm -rf "$OUT"/* ; [ "$OUT" = "$BUILD/tmpfs" ] || rmdir "$OUT"' EXIT
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
: >"$RESULTS"

# ---------------------------------------------------------------- measuring
TIMEFILE=$WORK/time.out
LOGFILE=$WORK/last-command.log

# run_once CMD...: one timed run; sets R_WALL R_CPU R_RSS (KiB) R_RC.
run_once() {
    /usr/bin/time -f '%e %U %S %M' -o "$TIMEFILE" "$@" >"$LOGFILE" 2>&1
    R_RC=$?
    local w u s m
    read -r w u s m < <(tail -n 1 "$TIMEFILE")
    R_WALL=$w
    R_CPU=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }')
    R_RSS=$m
}

# measure REPS PREP CMD...: runs PREP (a shell function, or ":") before each run, keeps the run
# with the median wall time. Sets M_WALL M_CPU M_RSS M_RC.
measure() {
    local reps=$1 prep=$2 i lines=()
    shift 2
    for ((i = 0; i < reps; i++)); do
        "$prep"
        run_once "$@"
        lines+=("$R_WALL $R_CPU $R_RSS $R_RC")
        [ "$R_RC" = 0 ] || break  # a failing command is not worth repeating
    done
    local mid
    mid=$(printf '%s\n' "${lines[@]}" | sort -n -k1,1 | sed -n "$(( (${#lines[@]} + 1) / 2 ))p")
    read -r M_WALL M_CPU M_RSS M_RC <<<"$mid"
}

# row CASE TOOL SIZE [NOTE] [SYSCALLS]: records the last measurement.
row() {
    local note=${4:-}
    [ "$M_RC" = 0 ] || note="${note:+$note; }FAILED rc=$M_RC: $(tail -n 1 "$LOGFILE" | cut -c1-60)"
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$M_WALL" "$M_CPU" "$M_RSS" "$3" "$note" "${5:--}" >>"$RESULTS"
}
skip_row() { printf '%s\t%s\t-\t-\t-\t-\t%s\t-\n' "$1" "$2" "$3" >>"$RESULTS"; }
size_of() { if [ -f "$1" ]; then stat -c %s "$1"; else echo -; fi; }
scale_row() {  # scale_row FACTOR: multiplies the last measurement's times (subset runs)
    M_WALL=$(awk -v w="$M_WALL" -v f="$1" 'BEGIN { printf "%.2f", w * f }')
    M_CPU=$(awk -v w="$M_CPU" -v f="$1" 'BEGIN { printf "%.2f", w * f }')
}
# check_tree EXPECTED ACTUAL: content check of an extraction (not timed). Differences are
# listed in $WORK/diff-*.txt: a peer's archive may already have lost characters in names.
check_tree() {
    local list
    list=$WORK/diff-$(basename "$(dirname "$2")")-$(basename "$2")-$RANDOM.txt
    if diff -r -q "$1" "$2" >"$list" 2>&1; then rm -f "$list"; echo "content identical"
    else echo "$(wc -l <"$list") differences, see $list"; fi
}
nothing() { :; }
# syscalls_per_file TREE CMD...: runs CMD once under strace -c -f and divides its system calls
# by the number of files in TREE (not timed).
syscalls_per_file() {
    local tree=$1 files calls
    shift
    have strace || { echo "strace missing"; return; }
    strace -c -f -o "$WORK/strace.txt" "$@" >/dev/null 2>&1
    # The total row is "% seconds usecs/call calls [errors] total": the calls are the 4th field
    # whether or not an errors column is there.
    calls=$(awk '$NF == "total" { print $4 }' "$WORK/strace.txt")
    files=$(find "$tree" -type f | wc -l)
    awk -v c="$calls" -v f="$files" 'BEGIN { if (f > 0 && c > 0) printf "%.1f", c / f; else printf "-" }'
}
# members ARCHIVE: how many members a peer lists (zip: unzip, lzh: lhasa), as a check of the adds.
members() {
    case $1 in
    *.zip) echo "$(unzip -Z1 "$1" 2>/dev/null | wc -l) members listed by unzip" ;;
    *.lzh) echo "$(lhasa l "$1" 2>/dev/null | awk '/^ Total/ { print $2 }') members listed by lhasa" ;;
    esac
}

# timed_row CASE TOOL REPS PREP OUTPUT TREE CMD...: measures CMD (PREP before each run), then
# runs it once more under strace, and records the row with the size of OUTPUT (a file, or -)
# and the system calls per file of TREE. NOTE, when set, goes into the row's note.
NOTE=
timed_row() {
    local case=$1 tool=$2 reps=$3 prep=$4 output=$5 tree=$6 size calls
    shift 6
    measure "$reps" "$prep" "$@"
    size=$(size_of "$output")
    local wall=$M_WALL cpu=$M_CPU rss=$M_RSS rc=$M_RC
    "$prep"
    calls=$(syscalls_per_file "$tree" "$@")
    M_WALL=$wall M_CPU=$cpu M_RSS=$rss M_RC=$rc
    row "$case" "$tool" "$size" "$NOTE" "$calls"
    NOTE=
}

# ---------------------------------------------------------------- ZIP create
zip_create() {
    local c=$1 z
    if plugin zip32j; then
        z=$OUT/ours-$c.zip
        prep() { rm -f "$z"; }
        timed_row "zip create $c" "pellum-arc zip32j (default)" "$REPS" prep "$z" "$CORPUS/$c" \
            "$PELLUM" zip32j "-r -q \"$z\" \"$CORPUS/\" $c/*.*"
    else skip_row "zip create $c" "pellum-arc zip32j" "skipped: libzip32j.so not built"; fi
    z=$OUT/info-$c.zip
    prep() { rm -f "$z"; }
    timed_row "zip create $c" "zip -r -q -6" "$REPS" prep "$z" "$CORPUS/$c" \
        bash -c 'cd "$1" && zip -r -q -6 "$2" "$3"' _ "$CORPUS" "$z" "$c"
    if have 7zz; then
        z=$OUT/7zz-$c.zip
        prep() { rm -f "$z"; }
        timed_row "zip create $c" "7zz a -tzip -mx1" "$REPS" prep "$z" "$CORPUS/$c" \
            bash -c 'cd "$1" && 7zz a -tzip -mx1 -bso0 -bsp0 "$2" "$3"' _ "$CORPUS" "$z" "$c"
    fi
}

# ---------------------------------------------------------------- ZIP single adds
zip_adds() {
    local z=$OUT/ours-adds.zip
    if plugin zip32j; then
        rm -f "$z"
        sync
        measure 1 nothing bash -c 'for f in "$2"/*; do "$1" zip32j "-r -j -q \"$3\" \"$f\"" || exit 1; done' \
            _ "$PELLUM" "$CORPUS/many" "$z"
        row "zip 1000 single adds" "pellum-arc zip32j x1000" "$(size_of "$z")" "$(members "$z")"
    else skip_row "zip 1000 single adds" "pellum-arc zip32j" "skipped: libzip32j.so not built"; fi
    z=$OUT/info-adds.zip
    rm -f "$z"
    sync
    measure 1 nothing bash -c 'for f in "$1"/*; do zip -q -j "$2" "$f" || exit 1; done' _ "$CORPUS/many" "$z"
    row "zip 1000 single adds" "zip -q -j x1000" "$(size_of "$z")"
}

# ---------------------------------------------------------------- ZIP extract
zip_extract() {
    local c=$1 a=$OUT/info-$c.zip d=$OUT/x
    [ -f "$a" ] || { skip_row "zip extract $c" "-" "skipped: no Info-ZIP archive"; return; }
    prep() { rm -rf "$d"; mkdir -p "$d"; }
    if plugin unzip32; then
        NOTE=$(prep; "$PELLUM" unzip32 "-xv --i \"$a\" \"$d/\"" >/dev/null 2>&1; check_tree "$CORPUS/$c" "$d/$c")
        timed_row "zip extract $c" "pellum-arc unzip32" "$REPS" prep - "$CORPUS/$c" \
            "$PELLUM" unzip32 "-xv --i \"$a\" \"$d/\""
    else skip_row "zip extract $c" "pellum-arc unzip32" "skipped: libunzip32.so not built"; fi
    timed_row "zip extract $c" "unzip -q" "$REPS" prep - "$CORPUS/$c" unzip -q "$a" -d "$d"
    if have 7zz; then
        timed_row "zip extract $c" "7zz x" "$REPS" prep - "$CORPUS/$c" 7zz x -y -bso0 -bsp0 "-o$d" "$a"
    fi
    timed_row "zip extract $c" "bsdtar -xf" "$REPS" prep - "$CORPUS/$c" bsdtar -xf "$a" -C "$d"
    rm -rf "$d"
}

# ---------------------------------------------------------------- LZH create
lzh_create() {
    local c=$1 z method
    for method in lh5 lh7; do
        if plugin unlha32; then
            z=$OUT/ours-$c-$method.lzh
            prep() { rm -f "$z"; }
            timed_row "lzh create $c -$method" "pellum-arc unlha32 -$method" "$REPS" prep "$z" "$CORPUS/$c" \
                "$PELLUM" unlha32 "a \"$z\" \"$CORPUS/\" $c/*.* -x -n1 -r2 -$method"
        else skip_row "lzh create $c -$method" "pellum-arc unlha32" "skipped: libunlha32.so not built"; fi
        if have jlha; then
            local opts=aqy
            [ "$method" = lh7 ] && opts=aqyo7
            z=$OUT/jlha-$c-$method.lzh
            prep() { rm -f "$z"; }
            timed_row "lzh create $c -$method" "jlha $opts" 1 prep "$z" "$CORPUS/$c" \
                bash -c 'cd "$1" && jlha "$4" "$2" "$3"' _ "$CORPUS" "$z" "$c" "$opts"
        fi
    done
}

# ---------------------------------------------------------------- LZH single adds
lzh_adds() {
    local z=$OUT/ours-adds.lzh
    if plugin unlha32; then
        rm -f "$z"
        measure 1 nothing bash -c 'for f in "$2"/*; do "$1" unlha32 "a -n1 \"$3\" \"$f\"" || exit 1; done' \
            _ "$PELLUM" "$CORPUS/many" "$z"
        row "lzh 1000 single adds" "pellum-arc unlha32 x1000" "$(size_of "$z")" "$(members "$z")"
    else skip_row "lzh 1000 single adds" "pellum-arc unlha32" "skipped: libunlha32.so not built"; fi
    if have jlha; then
        z=$OUT/jlha-adds.lzh
        rm -f "$z"
        measure 1 nothing bash -c 'cd "$1" && ls | head -n "$3" | while IFS= read -r f; do jlha aqy "$2" "$f" || exit 1; done' \
            _ "$CORPUS/many" "$z" "$JLHA_ADDS"
        scale_row "$(awk -v n="$JLHA_ADDS" 'BEGIN { print 1000 / n }')"
        row "lzh 1000 single adds" "jlha aqy x$JLHA_ADDS" "-" "time scaled x$(awk -v n="$JLHA_ADDS" 'BEGIN { print 1000 / n }') to 1000 adds; size not comparable"
    fi
}

# ---------------------------------------------------------------- LZH extract
lzh_extract() {
    local c=$1 a=$OUT/jlha-$c-lh5.lzh d=$OUT/x
    [ -f "$a" ] || { skip_row "lzh extract $c" "-" "skipped: no jlha archive"; return; }
    prep() { rm -rf "$d"; mkdir -p "$d"; }
    if plugin unlha32; then
        NOTE=$(prep; "$PELLUM" unlha32 "x -n \"$a\" \"$d/\"" >/dev/null 2>&1; check_tree "$CORPUS/$c" "$d/$c")
        timed_row "lzh extract $c" "pellum-arc unlha32" "$REPS" prep - "$CORPUS/$c" \
            "$PELLUM" unlha32 "x -n \"$a\" \"$d/\""
    else skip_row "lzh extract $c" "pellum-arc unlha32" "skipped: libunlha32.so not built"; fi
    timed_row "lzh extract $c" "lhasa x" "$REPS" prep - "$CORPUS/$c" lhasa "xqw=$d" "$a"
    if have 7zz; then
        timed_row "lzh extract $c" "7zz x" "$REPS" prep - "$CORPUS/$c" 7zz x -y -bso0 -bsp0 "-o$d" "$a"
    fi
    # jlha writes CP932 names; without being told, bsdtar stops at the first one it cannot
    # convert, having extracted only the members before it.
    timed_row "lzh extract $c" "bsdtar -xf (CP932)" "$REPS" prep - "$CORPUS/$c" \
        bsdtar --options hdrcharset=CP932 -xf "$a" -C "$d"
    rm -rf "$d"
}

# ---------------------------------------------------------------- ZIP append to a large archive
# One 2 MB file added to the 200 MB archive of big, ours against Info-ZIP; each run starts from
# a fresh copy of the same archive, written back to the disk before the run (neither the copy
# nor its writeback is timed, so neither tool pays for the other's).
zip_append_big() {
    local base=$OUT/info-big.zip z=$OUT/append.zip f=$OUT/append-2mb.bin
    [ -f "$base" ] || { skip_row "zip append 2MB to big" "-" "skipped: no Info-ZIP archive of big"; return; }
    head -c 2000000 /dev/urandom >"$f"
    prep() { cp "$base" "$z"; sync; }
    if plugin zip32j; then
        measure "$REPS" prep "$PELLUM" zip32j "-r -j -q \"$z\" \"$f\""
        row "zip append 2MB to big" "pellum-arc zip32j" "$(size_of "$z")"
    fi
    measure "$REPS" prep zip -q -j "$z" "$f"
    row "zip append 2MB to big" "zip -q -j" "$(size_of "$z")"
    rm -f "$z" "$f"
}

# ---------------------------------------------------------------- run
wanted() { [[ " $ONLY " == *" $1 "* ]]; }
# Extraction reads the peers' archives: they are made even when creation is not timed.
for c in tree big; do
    if wanted zip-create; then say "zip create $c"; zip_create "$c"
    elif wanted zip-extract || wanted zip-append; then (cd "$CORPUS" && zip -r -q -6 "$OUT/info-$c.zip" "$c"); fi
done
if wanted zip-adds; then say "zip single adds"; zip_adds; fi
if wanted zip-extract; then for c in tree big; do say "zip extract $c"; zip_extract "$c"; done; fi
if wanted zip-append; then say "zip append to big"; zip_append_big; fi
for c in tree big; do
    if wanted lzh-create; then say "lzh create $c"; lzh_create "$c"
    elif wanted lzh-extract; then (cd "$CORPUS" && jlha aqy "$OUT/jlha-$c-lh5.lzh" "$c" >/dev/null); fi
done
if wanted lzh-adds; then say "lzh single adds"; lzh_adds; fi
if wanted lzh-extract; then for c in tree big; do say "lzh extract $c"; lzh_extract "$c"; done; fi

INPROCESS=()
wanted inprocess || ONLY_INPROCESS=skip
for p in zip32j:zip unlha32:lzh; do
    [ "${ONLY_INPROCESS:-}" = skip ] && break
    name=${p%%:*} kind=${p##*:}
    if plugin "$name"; then
        say "in-process adds: $name"
        INPROCESS+=("$("$ADDS" "$BIN/lib$name.so" "$kind" "$CORPUS" many "$OUT/adds" 1000 2>&1 | tail -n 1)")
    else
        INPROCESS+=("$name in-process: skipped, lib$name.so not built")
    fi
done

LISTENER=()
for p in unzip32:unzip:$OUT/info-tree.zip unlha32:unlha:$OUT/jlha-tree-lh5.lzh; do
    [ "${ONLY_INPROCESS:-}" = skip ] && break
    IFS=: read -r name kind archive <<<"$p"
    if plugin "$name" && [ -f "$archive" ]; then
        say "progress listener cost: $name"
        LISTENER+=("$("$CALLBACKS" "$BIN/lib$name.so" "$kind" "$archive" "$OUT" 5 2>&1 | tail -n 1)")
    fi
done

# ---------------------------------------------------------------- report
echo
echo "Machine: $(nproc) cores, $(uname -r); $(date -u '+%Y-%m-%d %H:%M UTC'); short cases: median of $REPS"
echo "Load average before: $LOAD_BEFORE; after: $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine skews every figure)"
echo "Ratios are ours / peer (below 1: ours is faster or smaller). RSS is the peak resident size;"
echo "calls/file: system calls of one run divided by the files of the corpus (strace -c -f)."
echo
awk -F'\t' '
function mb(k) { return k == "-" ? "-" : sprintf("%.1f", k / 1024) }
function ratio(a, b) { return (a == "-" || b == "-" || b + 0 == 0) ? "-" : sprintf("%.2f", a / b) }
{
    if ($1 != last) { print ""; last = $1; ow = "-"; os = "-" }
    if ($2 ~ /^pellum-arc/) { ow = $3; os = $6; rt = ""; rs = "" }
    else { rt = ratio(ow, $3); rs = ratio(os, $6) }
    printf "%-24s %-28s %8s %8s %8s %10s %12s %7s %7s  %s\n", $1, $2, $3, $4, mb($5), $8, $6, rt, rs, $7
}
BEGIN { printf "%-24s %-28s %8s %8s %8s %10s %12s %7s %7s  %s\n", "case", "tool", "wall s", "cpu s", "RSS MB", "calls/file", "bytes", "t ratio", "s ratio", "note" }
' "$RESULTS"
echo
printf '%s\n' "${INPROCESS[@]}"
printf '%s\n' "${LISTENER[@]}"
echo
echo "Raw rows: $RESULTS"
