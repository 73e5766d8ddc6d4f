#!/bin/sh
# Whole-program figures for qorvan, printed, never asserted:
#   1. `qorvan render` of every real slide to PNG, against `sldtoppm |
#      pnmtopng` on the same files in the same run (target: 5x faster);
#   2. `qorvan list` on a library of 10 000 slides;
#   3. `qorvan explode` of a 1 000-slide library, against `cp` of the same
#      bytes (the 1 000 slide files copied as a folder, and the library file).
# Usage: bench/cli.sh [BUILD_DIR]   (default build/)
set -eu
. "$(dirname "$0")/common.sh"
bench_build "${1:-}"
bench_program qorvan
bench_need hyperfine python3 sldtoppm pnmtopng
bench_real
bench_work

# The real slides, copied under plain names so the loops need no quoting.
mkdir "$WORK/real" "$WORK/png"
i=0
find "$REAL" -type f -iname '*.sld' | sort | while IFS= read -r f; do
    i=$((i + 1))
    cp "$f" "$WORK/real/s$i.sld"
done
COUNT=$(ls "$WORK/real" | wc -l)

cat > "$WORK/render-qorvan.sh" <<SH
for f in $WORK/real/*.sld; do "$QORVAN" render "\$f" -o "$WORK/png/q.png"; done
SH
cat > "$WORK/render-sldtoppm.sh" <<SH
for f in $WORK/real/*.sld; do sldtoppm "\$f" 2>/dev/null | pnmtopng > "$WORK/png/p.png" 2>/dev/null; done
SH

echo "== render $COUNT real slides to PNG (one process per slide, as a user runs it)"
hyperfine --warmup 1 --runs 5 --export-markdown "$WORK/render.md" --export-json "$WORK/render.json" \
    -n "qorvan render" "sh $WORK/render-qorvan.sh" \
    -n "sldtoppm | pnmtopng" "sh $WORK/render-sldtoppm.sh" >/dev/null
cat "$WORK/render.md"
python3 - "$WORK/render.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
print("qorvan render is %.1fx faster than sldtoppm | pnmtopng" % (r["sldtoppm | pnmtopng"] / r["qorvan render"]))
PY

# Libraries written directly in the library layout: 10 000 appends would
# rewrite the library 10 000 times.
python3 - "$WORK" "$WORK/real/s1.sld" <<'PY'
import struct, sys
work, slide = sys.argv[1], open(sys.argv[2], 'rb').read()
def library(path, n):
    header = b"AutoCAD Slide Library 1.0\r\n\x1a" + b"\0" * 4
    first = 32 + 36 * (n + 1)
    entries = b"".join(("S%05d" % i).encode().ljust(32, b"\0") + struct.pack("<i", first + i * len(slide))
                       for i in range(n))
    with open(path, "wb") as f:
        f.write(header + entries + b"\0" * 36 + slide * n)
library(work + "/big.slb", 10000)
library(work + "/thousand.slb", 1000)
PY

echo
echo "== list a library of 10 000 slides"
hyperfine -N --warmup 3 --runs 20 --export-markdown "$WORK/list.md" \
    -n "qorvan list (10 000 slides)" "$QORVAN list $WORK/big.slb" >/dev/null
cat "$WORK/list.md"

echo
echo "== explode a library of 1 000 slides ($(wc -c < "$WORK/thousand.slb") bytes)"
mkdir -p "$WORK/out" "$WORK/copy"
"$QORVAN" explode "$WORK/thousand.slb" -d "$WORK/out"
hyperfine --warmup 2 --runs 10 --export-markdown "$WORK/explode.md" --export-json "$WORK/explode.json" \
    --prepare "rm -rf $WORK/copy $WORK/x && mkdir $WORK/x" \
    -n "qorvan explode" "$QORVAN explode $WORK/thousand.slb -d $WORK/x" \
    -n "cp -r of the 1 000 slide files" "cp -r $WORK/out $WORK/copy" \
    -n "cp of the library file" "cp $WORK/thousand.slb $WORK/x/lib.slb" >/dev/null
cat "$WORK/explode.md"
python3 - "$WORK/explode.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
print("qorvan explode takes %.2fx the time of cp -r of the same files"
      % (r["qorvan explode"] / r["cp -r of the 1 000 slide files"]))
PY
