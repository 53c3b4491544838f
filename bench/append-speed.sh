#!/usr/bin/env bash
# bench/append-speed.sh: adding to an existing ZIP archive, pellum-arc beside Info-ZIP zip.
#
#   1. 1,000 single-file adds as 1,000 processes (pellum-arc zip32j -j) against a `zip -q -j`
#      loop over the same files, starting from no archive;
#   2. one add of a 2 MB file to a 200 MB archive, against `zip -q -j` on a copy of it.
# Each case runs ROUNDS times (default 2) alternating the two tools; the archive is copied and
# `sync`ed before each single add so neither tool pays for the other's writeback.
# usage: bench/append-speed.sh [BUILD_DIR]   (default build; needs bin/pellum-arc and plug-ins)
set -euo pipefail
export LC_ALL=C.UTF-8
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BIN=${1:-$ROOT/build}/bin/pellum-arc
ROUNDS=${ROUNDS:-2}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

python3 - "$WORK" <<'PY'
import os, random, sys
work = sys.argv[1]
os.makedirs(f"{work}/src"); os.makedirs(f"{work}/big")
for i in range(1000):
    random.seed(i)
    data = os.urandom(5000 + i) if i % 10 == 0 else "".join(f"line {l * 7919 % 10007} text\n" for l in range(10 + i)).encode()[:100 + i * 13]
    open(f"{work}/src/file{i:04}.txt", "wb").write(data)
for i in range(20):
    open(f"{work}/big/part{i}.bin", "wb").write(os.urandom(10 << 20))
open(f"{work}/two.bin", "wb").write(os.urandom(1 << 20) + b"text line\n" * 104858)
PY
(cd "$WORK" && zip -q -r -0 base.zip big)

seconds() { local start=$(date +%s.%N); "$@" >/dev/null; echo "$(date +%s.%N) - $start" | bc; }
ours_loop() { for f in "$WORK"/src/*; do "$BIN" zip32j "-j -q \"$WORK/loop.zip\" \"$f\""; done; }
zip_loop() { for f in "$WORK"/src/*; do zip -q -j "$WORK/loop.zip" "$f"; done; }
ours_one() { "$BIN" zip32j "-j -q \"$WORK/one.zip\" \"$WORK/two.bin\""; }
zip_one() { zip -q -j "$WORK/one.zip" "$WORK/two.bin"; }

for round in $(seq "$ROUNDS"); do
  rm -f "$WORK/loop.zip"; echo "1000 adds   pellum-arc  $(seconds ours_loop) s"
  rm -f "$WORK/loop.zip"; echo "1000 adds   zip         $(seconds zip_loop) s"
  cp "$WORK/base.zip" "$WORK/one.zip"; sync; echo "2MB to 200MB pellum-arc $(seconds ours_one) s"
  cp "$WORK/base.zip" "$WORK/one.zip"; sync; echo "2MB to 200MB zip        $(seconds zip_one) s"
done
