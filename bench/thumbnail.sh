#!/bin/sh
# Whole-program figures for the thumbnailer's command, printed, never
# asserted: `qorvan thumbnail -s 256` of the largest real slide (target: well
# under 100 ms) and of the largest real library, beside `sldtoppm | pamscale
# | pnmtopng` making the same 256-pixel picture and `qorvan -V` (the start-up
# alone), all in the same run.
# Usage: bench/thumbnail.sh [BUILD_DIR]   (default build/)
set -eu
. "$(dirname "$0")/common.sh"
bench_build "${1:-}"
bench_program qorvan
bench_need hyperfine sldtoppm pamscale pnmtopng
bench_real
bench_work
largest() { find "$REAL" -type f -iname "$1" -printf '%s %p\n' | sort -n | tail -1 | cut -d' ' -f2-; }
cp "$(largest '*.sld')" "$WORK/big.sld"
cp "$(largest '*.slb')" "$WORK/big.slb"
echo "== largest slide: $(wc -c < "$WORK/big.sld") bytes; largest library: $(wc -c < "$WORK/big.slb") bytes"

hyperfine -N --warmup 3 --export-json "$WORK/t.json" \
    -n "qorvan -V" "$QORVAN -V" \
    -n "thumbnail slide" "$QORVAN thumbnail -s 256 $WORK/big.sld $WORK/s.png" \
    -n "thumbnail library" "$QORVAN thumbnail -s 256 $WORK/big.slb $WORK/l.png" \
    -n "sldtoppm | pamscale | pnmtopng" \
    "sh -c 'sldtoppm $WORK/big.sld 2>/dev/null | pamscale -xyfit 256 256 | pnmtopng > $WORK/p.png 2>/dev/null'"

python3 - "$WORK/t.json" <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
peer = r["sldtoppm | pamscale | pnmtopng"]["mean"]
for name in ("thumbnail slide", "thumbnail library", "qorvan -V"):
    m = r[name]["mean"]
    print("%-18s %7.1f ms  (%.1fx faster than the peer's pipeline)" % (name, m * 1000, peer / m))
PY
