#!/bin/sh
# Whole-program figures for qorvan-console, printed, never asserted:
#   1. start-up to first value: -e '(slb-list "samples")' in samples/,
#      against the console alone evaluating (+ 1 2) without the module;
#   2. slb-list on a library of 10 000 slides, against slb-list on the
#      4-slide sample library, and next to `qorvan list` when the CLI exists.
# Usage: bench/console.sh [BUILD_DIR]   (default build/)
set -eu
. "$(dirname "$0")/common.sh"
bench_build "${1:-}"
bench_program qorvan-console
bench_need hyperfine
bench_work

# A library of 10 000 slides written directly in the library layout (a
# header, 36-byte entries, the terminating entry, the slides back to back):
# building it with 10 000 appends would rewrite it 10 000 times.
python3 - "$WORK/big.slb" "$ROOT/samples/box.sld" <<'PY'
import struct, sys
out, slide = sys.argv[1], open(sys.argv[2], 'rb').read()
n = 10000
header = b"AutoCAD Slide Library 1.0\r\n\x1a" + b"\0" * 4
first = 32 + 36 * (n + 1)
entries = b"".join(("S%05d" % i).encode().ljust(32, b"\0") + struct.pack("<i", first + i * len(slide))
                   for i in range(n))
with open(out, "wb") as f:
    f.write(header + entries + b"\0" * 36 + slide * n)
PY

cd "$ROOT/samples"
echo "== start-up to first value"
hyperfine -N --warmup 3 --runs 30 --export-markdown "$WORK/startup.md" \
    -n "console alone: (+ 1 2)" "$CONSOLE --no-default-module -e '(+ 1 2)'" \
    -n "with module: (slb-list \"samples\")" "$CONSOLE -e '(slb-list \"samples\")'" >/dev/null
cat "$WORK/startup.md"

echo
echo "== slb-list on 10 000 slides"
set -- -n "slb-list samples (4 slides)" "$CONSOLE -e '(slb-list \"samples\")'" \
       -n "slb-list big (10 000 slides)" "$CONSOLE -e '(slb-list \"$WORK/big\")'"
if [ -x "$BUILD/bin/qorvan" ]; then
    set -- "$@" -n "qorvan list big (10 000 slides)" "$BUILD/bin/qorvan list $WORK/big.slb"
fi
hyperfine -N --warmup 2 --runs 15 --export-markdown "$WORK/list.md" "$@" >/dev/null
cat "$WORK/list.md"
