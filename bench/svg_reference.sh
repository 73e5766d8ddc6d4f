#!/bin/sh
# How close `qorvan make` + `qorvan render` come to rsvg-convert on the SVG
# files Debian packages ship (icon themes, documentation images under
# /usr/share): per file, the intersection over union of the drawn pixels
# after both pictures are cropped to what they draw and fitted into one
# 200 x 200 box, a pixel counting as shared when the other picture draws
# within 2 pixels of it. Prints every file's score, the worst twenty, and
# the distribution; printed, never asserted (docs/svg.md has the table).
# Usage: bench/svg_reference.sh [BUILD_DIR] [SVG_DIR...]   (default /usr/share)
set -eu
. "$(dirname "$0")/common.sh"
bench_build "${1:-}"
[ $# -gt 0 ] && shift
bench_program qorvan
bench_need python3 rsvg-convert pngtopnm
bench_work
[ $# -gt 0 ] || set -- /usr/share

find "$@" -name '*.svg' -type f 2>/dev/null | sort > "$WORK/list"
[ -s "$WORK/list" ] || bench_fail "no SVG files under $*"

python3 - "$QORVAN" "$WORK" "$WORK/list" <<'PY'
import os, subprocess, sys

qorvan, work = sys.argv[1], sys.argv[2]
BOX, TOL, SIDE = 200, 2, 512


def read_pgm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    w, h, maxval = int(fields[1]), int(fields[2]), int(fields[3])
    step = 2 if maxval > 255 else 1
    pix = data[pos:pos + w * h * step][::step]
    return w, h, pix


def drawn(png):
    """The pixels at least half opaque, as a set of (x, y)."""
    alpha = png + ".alpha.pgm"
    with open(alpha, "wb") as out:
        r = subprocess.run(["pngtopnm", "-alpha", png], stdout=out, stderr=subprocess.DEVNULL)
    if r.returncode != 0:
        return None
    w, h, pix = read_pgm(alpha)
    return {(i % w, i // w) for i, v in enumerate(pix) if v >= 128}


def fitted(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    x0, y0 = min(xs), min(ys)
    span = max(max(xs) - x0, max(ys) - y0, 1)
    s = (BOX - 1) / span
    return {(round((x - x0) * s), round((y - y0) * s)) for x, y in points}


NEAR = [(dx, dy) for dx in range(-TOL, TOL + 1) for dy in range(-TOL, TOL + 1) if dx * dx + dy * dy <= TOL * TOL]


def iou(a, b):
    union = a | b
    shared = sum(1 for p in union
                 if any((p[0] + dx, p[1] + dy) in (b if p in a else a) for dx, dy in NEAR))
    return shared / len(union)


rows, skipped = [], {}
for line in open(sys.argv[3]):
    svg = line.strip()
    sld, ours, ref = (os.path.join(work, name) for name in ("s.sld", "ours.png", "ref.png"))
    for f in (sld, ours, ref):
        if os.path.exists(f):
            os.remove(f)
    try:
        r = subprocess.run(["rsvg-convert", "-w", str(SIDE), "-h", str(SIDE), "--keep-aspect-ratio", "-o", ref, svg],
                           stderr=subprocess.DEVNULL, timeout=60)
    except subprocess.TimeoutExpired:
        r = None
    if r is None or r.returncode != 0:
        skipped["rsvg-convert refuses it"] = skipped.get("rsvg-convert refuses it", 0) + 1
        continue
    refpix = drawn(ref)
    if not refpix:
        skipped["rsvg-convert draws nothing"] = skipped.get("rsvg-convert draws nothing", 0) + 1
        continue
    m = subprocess.run([qorvan, "make", svg, "--size", str(SIDE), "-o", sld],
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    score = 0.0
    why = ""
    if m.returncode == 0 and subprocess.run([qorvan, "render", sld, "--background", "none", "-o", ours],
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
        ourpix = drawn(ours)
        if ourpix:
            score = iou(fitted(ourpix), fitted(refpix))
        else:
            why = "qorvan draws nothing"
    else:
        why = (m.stderr.strip().splitlines() or ["make failed"])[-1]
    rows.append((score, svg, why))
    print("%.3f %s%s" % (score, svg, "  (" + why + ")" if why else ""), flush=True)

if not rows:
    sys.exit("bench: no file could be compared: %s" % skipped)
scores = sorted(r[0] for r in rows)


def pct(p):
    return scores[min(len(scores) - 1, int(p / 100 * len(scores)))]


print()
print("worst twenty:")
for score, svg, why in sorted(rows)[:20]:
    print("  %.3f %s%s" % (score, svg, "  (" + why + ")" if why else ""))
for reason, count in sorted(skipped.items()):
    print("not compared, %s: %d" % (reason, count))
print()
print("files compared: %d" % len(scores))
print("IoU  min %.3f  p10 %.3f  p25 %.3f  median %.3f  p75 %.3f  max %.3f" % (
    scores[0], pct(10), pct(25), pct(50), pct(75), scores[-1]))
print("at least 0.85: %d of %d" % (sum(1 for s in scores if s >= 0.85), len(scores)))
PY
