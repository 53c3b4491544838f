#!/bin/sh
# Runs every libFuzzer target for SECONDS each, one after the other, seeded with its committed
# corpus, and prints per target the edges reached (cov) and executions per second.
#   tests/archivers/fuzz.sh SECONDS
# Builds the targets with clang in build/fuzz (or $FUZZ_BUILD) first. New inputs go to
# <build>/found/<target>, crashes and hangs to <build>/artifacts/; the status is 1 when any
# target crashed or hung. See tests/archivers/FUZZING.md.
set -eu
seconds=${1:?usage: tests/archivers/fuzz.sh SECONDS}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${FUZZ_BUILD:-$root/build/fuzz}
corpora=$root/tests/archivers

# target and the corpus the ordinary tests replay for it
targets="fuzz_common_names:common/name_corpus
zip_central_directory_fuzz:zip/fuzz-corpus
zip_directory_rebuild_fuzz:zip/fuzz-corpus
zip_deflate64_fuzz:zip/deflate64-corpus
lzh_header_fuzz:lzh/fuzz-corpus/header_parser
lzh_decoder_fuzz:lzh/fuzz-corpus/decoder"

if [ ! -f "$build/CMakeCache.txt" ]; then
    launcher=""
    command -v ccache >/dev/null && launcher="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
    # shellcheck disable=SC2086
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DTEMBREL_FUZZ=ON -DTEMBREL_GUI=OFF $launcher >/dev/null
fi
# shellcheck disable=SC2046
cmake --build "$build" --target $(echo "$targets" | cut -d: -f1)

mkdir -p "$build/artifacts"
failed=""
printf '%-28s %8s %10s  %s\n' target cov exec/s result
for line in $targets; do
    target=${line%%:*}
    corpus=$corpora/${line#*:}
    found=$build/found/$target
    log=$build/found/$target.log
    mkdir -p "$found"
    result=ok
    "$build/bin/$target" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" "$found" "$corpus" >"$log" 2>&1 || result="FAILED (see $log)"
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    printf '%-28s %8s %10s  %s\n' "$target" "${cov:-?}" "${speed:-?}" "$result"
    [ "$result" = ok ] || failed="$failed $target"
done
if [ -n "$failed" ]; then
    echo "crashing or hanging inputs are in $build/artifacts/:$failed"
    exit 1
fi
