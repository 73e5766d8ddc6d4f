#!/bin/sh
# Peak memory of SVG output, printed, never asserted: `qorvan render` of a
# synthetic slide of 400 000 vectors (3.2 MB) to SVG at two picture sizes,
# and of the largest real slide, each as a ratio of peak RSS to the slide's
# size, beside `qorvan --version` (the program alone) in the same run.
# Streaming output keeps the ratio a small number whatever the picture size.
# Usage: bench/svg_memory.sh [BUILD_DIR]   (default build/)
set -eu
. "$(dirname "$0")/common.sh"
bench_build "${1:-}"
bench_program qorvan
bench_need python3 /usr/bin/time
bench_work

# Short vectors spread over a 4096 x 3072 slide, as bench/run makes them.
python3 - "$WORK/vectors.sld" 400000 <<'PY'
import struct, sys
out, count = sys.argv[1], int(sys.argv[2])
head = b"AutoCAD Slide\r\n\x1a\0V\x02" + struct.pack("<6H", 4095, 3071, 0, 0, 0, 0x1234)
body = b"".join(struct.pack("<4H", (i * 13) % 4096, (i * 7) % 3072, (i * 17) % 4096, (i * 5) % 3072)
                for i in range(count))
open(out, "wb").write(head + body + struct.pack("<H", 0xFC00))
PY

peak_kib() {
    /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1
}

report() { # label slide-file peak-KiB
    python3 -c 'import sys; l, size, kib, base = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
print("%-44s %6.1f MB peak  %5.1fx the slide (%.1f MB); %5.1fx above the program alone" % (
    l, kib / 1024, kib * 1024 / size, size / 2**20, (kib - base) * 1024 / size))' "$1" "$(wc -c < "$2")" "$3" "$BASE"
}

BASE=$(peak_kib "$QORVAN" --version)
echo "qorvan --version: $((BASE / 1024)) MB peak"
for size in 1000x1000 4000x4000; do
    for style in exact smooth; do
        report "400 000 vectors, $size, $style" "$WORK/vectors.sld" \
            "$(peak_kib "$QORVAN" render "$WORK/vectors.sld" --size $size --style $style -o "$WORK/v.svg")"
    done
done
if bench_real 2>/dev/null; then
    largest=$(find "$REAL" -type f -iname '*.sld' -printf '%s %p\n' | sort -n | tail -1 | cut -d' ' -f2-)
    cp "$largest" "$WORK/real.sld"
    report "$(basename "$largest"), its own size" "$WORK/real.sld" \
        "$(peak_kib "$QORVAN" render "$WORK/real.sld" -o "$WORK/r.svg")"
fi
