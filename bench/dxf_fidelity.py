#!/usr/bin/python3
"""How faithfully `qorvan make` draws DXF: pictures against ezdxf's own.

Makes a corpus of drawings with ezdxf (every entity type the reader knows,
and some it only names in a warning), draws each two ways and compares the
drawn pixels:

  * the reference: ezdxf's drawing add-on with its matplotlib backend, on
    black, every entity white, lines one pixel wide, no antialiasing;
  * ours: `qorvan make --size 400` then `qorvan render`.

Both pictures are fitted to one box (each drawn-pixel bounding box scaled to
the same square) and compared as intersection over union with a 2-pixel
tolerance: a drawn pixel of one picture counts as shared when the other has
a drawn pixel within 2 pixels. Prints the IoU per drawing, per entity type
(over the drawings holding it) and the distribution. Figures, never a test.

Usage: bench/dxf_fidelity.py [--build DIR] [--keep DIR] [--only NAME...]
Needs python3-ezdxf and python3-matplotlib (scripts/install-deps).
"""

import argparse
import logging
import math
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BOX = 400
TOLERANCE = 2

try:
    import ezdxf
    import matplotlib
    matplotlib.use("Agg")
    matplotlib.rcParams["lines.antialiased"] = False
    matplotlib.rcParams["patch.antialiased"] = False
    matplotlib.rcParams["text.antialiased"] = False
    import matplotlib.pyplot as plt
    logging.getLogger("matplotlib.font_manager").setLevel(logging.ERROR)
    import numpy
    from ezdxf.addons.drawing import Frontend, RenderContext
    from ezdxf.addons.drawing.config import Configuration
    from ezdxf.addons.drawing.matplotlib import MatplotlibBackend
    from ezdxf.math import Vec3
except ImportError as missing:
    sys.exit("bench: needs python3-ezdxf and python3-matplotlib (%s)" % missing)


# ------------------------------------------------------------------ corpus

def drawings():
    """(name, entity types, build(doc, msp), dxf version) for every drawing."""
    out = []

    def drawing(name, types, version="R2010"):
        def add(build):
            out.append((name, types, build, version))
            return build
        return add

    @drawing("lines", ["LINE"])
    def _(d, m):
        for i in range(12):
            a = i * math.pi / 12
            m.add_line((50, 50), (50 + 45 * math.cos(a), 50 + 45 * math.sin(a)))
        m.add_line((0, 0), (100, 0))

    @drawing("points_and_lines", ["POINT", "LINE"])
    def _(d, m):
        m.add_line((0, 0), (100, 100))
        m.add_line((0, 100), (100, 0))
        for i in range(10):
            m.add_point((10 * i, 50))

    @drawing("circles", ["CIRCLE"])
    def _(d, m):
        for r in (5, 15, 30, 48):
            m.add_circle((50, 50), r)

    @drawing("arcs", ["ARC"])
    def _(d, m):
        for i in range(6):
            m.add_arc((50, 50), 10 + 7 * i, 30 * i, 30 * i + 200)

    @drawing("ellipses", ["ELLIPSE"])
    def _(d, m):
        m.add_ellipse((50, 50), major_axis=(45, 10), ratio=0.4)
        m.add_ellipse((50, 50), major_axis=(0, 30), ratio=0.5, start_param=0.5, end_param=4.5)

    @drawing("lwpolyline_bulges", ["LWPOLYLINE"])
    def _(d, m):
        m.add_lwpolyline([(0, 0, 0, 0, 0.5), (60, 0, 0, 0, 0), (60, 40, 0, 0, -1), (0, 40)],
                         format="xyseb", close=True)

    @drawing("lwpolyline_widths", ["LWPOLYLINE", "width"])
    def _(d, m):
        m.add_lwpolyline([(0, 0), (80, 0), (80, 50), (0, 50)], close=True, dxfattribs={"const_width": 4})
        m.add_lwpolyline([(10, 20, 0, 8), (60, 20, 8, 0)], format="xyse")

    @drawing("polyline2d_width", ["POLYLINE", "width"])
    def _(d, m):
        p = m.add_polyline2d([(0, 0), (50, 30), (100, 0)], dxfattribs={"default_start_width": 3,
                                                                     "default_end_width": 3})
        p.close(False)

    @drawing("polyline3d", ["POLYLINE"])
    def _(d, m):
        m.add_polyline3d([(0, 0, 0), (50, 80, 20), (100, 0, 40), (100, 100, 0)])

    @drawing("spline_control", ["SPLINE"])
    def _(d, m):
        m.add_open_spline([(0, 0), (20, 80), (50, -20), (80, 80), (100, 0)])

    @drawing("spline_fit", ["SPLINE", "fit points"])
    def _(d, m):
        m.add_spline([(0, 0), (25, 60), (50, 10), (75, 70), (100, 20)])

    @drawing("solid_trace", ["SOLID", "TRACE"])
    def _(d, m):
        m.add_solid([(0, 0), (40, 0), (0, 40), (40, 40)])
        m.add_trace([(60, 0), (100, 0), (60, 30), (100, 50)])

    @drawing("3dface", ["3DFACE"])
    def _(d, m):
        m.add_3dface([(0, 0, 0), (100, 0, 10), (100, 80, 20), (0, 60, 0)])
        m.add_3dface([(20, 20, 0), (60, 20, 0), (40, 50, 0)])

    @drawing("hatch_solid_hole", ["HATCH"])
    def _(d, m):
        h = m.add_hatch(color=7)
        h.paths.add_polyline_path([(0, 0), (100, 0), (100, 100), (0, 100)], is_closed=True, flags=1)
        h.paths.add_polyline_path([(30, 30), (70, 30), (70, 70), (30, 70)], is_closed=True, flags=16)

    @drawing("hatch_pattern", ["HATCH", "pattern"])
    def _(d, m):
        h = m.add_hatch(color=7)
        h.set_pattern_fill("ANSI31", scale=2)
        h.paths.add_polyline_path([(0, 0), (100, 0), (100, 60), (0, 60)], is_closed=True, flags=1)
        h.paths.add_polyline_path([(20, 20), (50, 20), (50, 40), (20, 40)], is_closed=True, flags=16)
        m.add_lwpolyline([(0, 0), (100, 0), (100, 60), (0, 60)], close=True)

    @drawing("hatch_pattern_cross", ["HATCH", "pattern"])
    def _(d, m):
        h = m.add_hatch(color=7)
        h.set_pattern_fill("ANSI37", scale=3, angle=15)
        ep = h.paths.add_edge_path(flags=1)
        ep.add_line((0, 0), (80, 0))
        ep.add_arc((80, 40), 40, -90, 90)
        ep.add_line((80, 80), (0, 80))
        ep.add_line((0, 80), (0, 0))

    @drawing("hatch_pattern_dashed", ["HATCH", "pattern"])
    def _(d, m):
        h = m.add_hatch(color=7)
        h.set_pattern_fill("DASH", scale=4)
        h.paths.add_polyline_path([(0, 0), (100, 0), (50, 90)], is_closed=True, flags=1)

    @drawing("hatch_edges", ["HATCH"])
    def _(d, m):
        h = m.add_hatch(color=7)
        ep = h.paths.add_edge_path(flags=1)
        ep.add_line((0, 0), (60, 0))
        ep.add_arc((60, 30), 30, -90, 90)
        ep.add_ellipse((30, 60), major_axis=(30, 0), ratio=0.5, start_angle=0, end_angle=180)
        ep.add_line((0, 60), (0, 0))

    @drawing("insert_array", ["INSERT"])
    def _(d, m):
        b = d.blocks.new("DOOR")
        b.add_line((0, 0), (10, 0))
        b.add_arc((0, 0), 10, 0, 90)
        b.add_line((0, 0), (0, 10))
        m.add_blockref("DOOR", (0, 0))
        m.add_blockref("DOOR", (40, 0), dxfattribs={"rotation": 45, "xscale": 2, "yscale": 2})
        ref = m.add_blockref("DOOR", (0, 40))
        ref.grid(size=(3, 4), spacing=(15, 15))

    @drawing("insert_attribs", ["INSERT", "ATTRIB", "TEXT"])
    def _(d, m):
        b = d.blocks.new("TAG")
        b.add_circle((0, 0), 10)
        b.add_attdef("NUM", (-6, -3), dxfattribs={"height": 6})
        for i in range(3):
            ref = m.add_blockref("TAG", (30 * i, 0))
            ref.add_attrib("NUM", str(i + 1), (30 * i - 6, -3), dxfattribs={"height": 6})

    @drawing("dimension", ["DIMENSION"])
    def _(d, m):
        m.add_line((0, 0), (100, 0))
        dim = m.add_linear_dim(base=(0, 20), p1=(0, 0), p2=(100, 0))
        dim.render()

    @drawing("text", ["TEXT"])
    def _(d, m):
        m.add_text("QORVAN 1234", dxfattribs={"height": 10}).set_placement((0, 0))
        m.add_text("rotated", dxfattribs={"height": 8, "rotation": 30}).set_placement((10, 20))

    @drawing("text_codes", ["TEXT", "codes"])
    def _(d, m):
        m.add_text("45%%d %%c20 %%p0.5", dxfattribs={"height": 10}).set_placement((0, 0))
        m.add_text("\u00c5ngstr\u00f6m na\u00efve", dxfattribs={"height": 10}).set_placement((0, 20))

    @drawing("text_cyrillic_greek", ["TEXT", "non-ASCII"])
    def _(d, m):
        m.add_text("\u041c\u043e\u0441\u043a\u0432\u0430", dxfattribs={"height": 10}).set_placement((0, 0))
        m.add_text("\u03b1\u03b2\u03b3 \u03a9", dxfattribs={"height": 10}).set_placement((0, 20))

    @drawing("mtext_lines", ["MTEXT"])
    def _(d, m):
        m.add_mtext("First line\\PSecond line\\PThird", dxfattribs={"char_height": 8, "insert": (0, 50)})

    @drawing("mtext_wrapped", ["MTEXT", "wrap"])
    def _(d, m):
        t = m.add_mtext("The quick brown fox jumps over the lazy dog and keeps on running far away",
                        dxfattribs={"char_height": 5, "insert": (0, 60), "width": 60})
        t.dxf.width = 60

    @drawing("mtext_codes", ["MTEXT", "codes"])
    def _(d, m):
        m.add_mtext("{\\H2x;Big}\\Psmall \\S1/2; done", dxfattribs={"char_height": 6, "insert": (0, 40)})

    @drawing("leader", ["LEADER"])
    def _(d, m):
        m.add_leader([(0, 0), (40, 30), (80, 30)])
        m.add_circle((0, 0), 5)

    @drawing("mline", ["MLINE"])
    def _(d, m):
        m.add_mline([(0, 0), (80, 0), (80, 60)], dxfattribs={"scale_factor": 6})

    @drawing("xline_ray", ["XLINE", "RAY", "LINE"])
    def _(d, m):
        m.add_lwpolyline([(0, 0), (100, 0), (100, 100), (0, 100)], close=True)
        m.add_xline((50, 50), (1, 1))
        m.add_ray((50, 50), (1, -0.3))

    @drawing("wipeout_image", ["WIPEOUT", "IMAGE"])
    def _(d, m):
        m.add_line((0, 0), (100, 100))
        m.add_wipeout([(10, 10), (40, 10), (40, 40), (10, 40)])
        img = d.add_image_def(filename="missing.png", size_in_pixel=(64, 32))
        m.add_image(img, insert=(50, 50), size_in_units=(40, 20))

    @drawing("mesh", ["MESH"])
    def _(d, m):
        mesh = m.add_mesh()
        with mesh.edit_data() as data:
            data.vertices = [(0, 0, 0), (50, 0, 0), (50, 50, 0), (0, 50, 0), (25, 25, 40)]
            data.faces = [(0, 1, 4), (1, 2, 4), (2, 3, 4), (3, 0, 4)]

    @drawing("linetypes", ["LINE", "linetype"])
    def _(d, m):
        d.header["$LTSCALE"] = 2
        d.layers.add("DASHES", linetype="DASHED")
        for i in range(5):
            m.add_line((0, 20 * i), (100, 20 * i), dxfattribs={"layer": "DASHES"})
        m.add_circle((50, 50), 30, dxfattribs={"linetype": "CENTER"})
        m.add_line((0, 0), (100, 100), dxfattribs={"linetype": "DASHDOT", "ltscale": 0.5})

    @drawing("invisible_and_attdef", ["ATTDEF", "invisible"])
    def _(d, m):
        m.add_circle((50, 50), 40)
        m.add_line((0, 0), (100, 100), dxfattribs={"color": 6})  # made invisible below
        m.add_attdef("TAG", (20, 50), dxfattribs={"height": 8})

    @drawing("r12_plan", ["LINE", "ARC", "POLYLINE", "TEXT", "INSERT"], version="R12")
    def _(d, m):
        b = d.blocks.new("WIN")
        b.add_line((0, 0), (20, 0))
        b.add_line((0, 2), (20, 2))
        m.add_polyline2d([(0, 0), (100, 0), (100, 70), (0, 70)], close=True)
        m.add_line((50, 0), (50, 70))
        m.add_arc((50, 30), 12, 90, 180)
        m.add_blockref("WIN", (10, 70))
        m.add_blockref("WIN", (70, 70))
        m.add_text("ROOM", dxfattribs={"height": 5}).set_placement((15, 30))

    @drawing("floor_plan", ["LWPOLYLINE", "width", "HATCH", "pattern", "ARC", "MTEXT", "DIMENSION"])
    def _(d, m):
        m.add_lwpolyline([(0, 0), (120, 0), (120, 80), (0, 80)], close=True, dxfattribs={"const_width": 2})
        m.add_lwpolyline([(60, 0), (60, 50)], dxfattribs={"const_width": 1.5})
        m.add_arc((60, 50), 15, 90, 180)
        h = m.add_hatch(color=7)
        h.set_pattern_fill("ANSI31", scale=1.5)
        h.paths.add_polyline_path([(70, 10), (110, 10), (110, 40), (70, 40)], is_closed=True, flags=1)
        m.add_mtext("Living room", dxfattribs={"char_height": 5, "insert": (10, 70), "width": 40})
        dim = m.add_linear_dim(base=(0, -15), p1=(0, 0), p2=(120, 0))
        dim.render()

    @drawing("mechanical", ["CIRCLE", "LINE", "HATCH", "pattern", "linetype", "TEXT"])
    def _(d, m):
        m.add_circle((50, 50), 40)
        m.add_circle((50, 50), 15)
        m.add_line((0, 50), (100, 50), dxfattribs={"linetype": "CENTER"})
        m.add_line((50, 0), (50, 100), dxfattribs={"linetype": "CENTER"})
        h = m.add_hatch(color=7)
        h.set_pattern_fill("ANSI31", scale=1)
        ep = h.paths.add_edge_path(flags=1)
        ep.add_arc((50, 50), 40, 0, 360)
        ep2 = h.paths.add_edge_path(flags=16)
        ep2.add_arc((50, 50), 15, 0, 360)
        m.add_text("%%c80", dxfattribs={"height": 6}).set_placement((70, 90))

    return out


def make_drawing(folder, name, build, version):
    doc = ezdxf.new(version, setup=True)
    build(doc, doc.modelspace())
    path = os.path.join(folder, name + ".dxf")
    doc.saveas(path)
    if "invisible" in name:
        # ezdxf writes no group 60, whatever its invisible attribute says:
        # the entities of colour 6 get it here.
        text = open(path).read().replace("\n 62\n6\n", "\n 62\n6\n 60\n1\n")
        open(path, "w").write(text)
    return path


# ------------------------------------------------------------------ pictures

class WhiteFrontend(Frontend):
    """Every entity white, whatever its colour: the comparison is of shapes."""

    def override_properties(self, entity, properties):
        properties.color = "#ffffff"


def thin_font():
    """The thinnest outline font at hand: qorvan draws text in single strokes,
    and a thin outline is the nearest an outline font comes to a stroke."""
    from matplotlib.font_manager import FontProperties
    for path in ("/usr/share/fonts/truetype/dejavu/DejaVuSans-ExtraLight.ttf",):
        if os.path.exists(path):
            return FontProperties(fname=path)
    return FontProperties()


def reference_png(dxf, png):
    doc = ezdxf.readfile(dxf)
    # Text styles name fonts the machine lacks; the reference draws them all
    # in the thin font (the file qorvan reads is left as it is).
    for style in doc.styles:
        style.dxf.font = "DejaVuSans-ExtraLight.ttf"
    fig = plt.figure(figsize=(BOX / 100, BOX / 100), dpi=100)
    ax = fig.add_axes([0, 0, 1, 1])
    config = Configuration.defaults().with_changes(lineweight_scaling=0, min_lineweight=72 / 100)
    backend = MatplotlibBackend(ax, adjust_figure=False, font=thin_font())
    WhiteFrontend(RenderContext(doc), backend, config=config).draw_layout(doc.modelspace(), finalize=True)
    ax.set_facecolor("black")
    fig.patch.set_facecolor("black")
    fig.savefig(png, dpi=100, facecolor="black")
    plt.close(fig)


def ours_png(qorvan, dxf, sld, png):
    started = time.monotonic()
    made = subprocess.run([qorvan, "make", dxf, "-o", sld, "--size", str(BOX), "--margin", "4"],
                          capture_output=True, text=True)
    seconds = time.monotonic() - started
    if made.returncode != 0:
        return None, seconds, made.stderr.strip()
    subprocess.run([qorvan, "render", sld, "-o", png], check=True, capture_output=True)
    return png, seconds, made.stderr.strip()


def drawn(png):
    """The drawn pixels as (row, column) float coordinates."""
    img = matplotlib.image.imread(png)
    if img.dtype != numpy.float32 and img.dtype != numpy.float64:
        img = img / 255.0
    lit = img[:, :, :3].max(axis=2) > 0.25
    rows, cols = numpy.nonzero(lit)
    return numpy.stack([rows, cols], axis=1).astype(float)


def fitted(points):
    """Points scaled and shifted so that their bounding box's longer side
    spans the box, centred in it, as a boolean picture."""
    grid = numpy.zeros((BOX + 1, BOX + 1), dtype=bool)
    if len(points) == 0:
        return grid
    lo, hi = points.min(axis=0), points.max(axis=0)
    span = max(hi - lo)
    scale = (BOX - 1) / span if span > 0 else 1
    offset = (BOX - (hi - lo) * scale) / 2
    p = numpy.rint((points - lo) * scale + offset).astype(int)
    p = numpy.clip(p, 0, BOX)
    grid[p[:, 0], p[:, 1]] = True
    return grid


def dilated(grid, r):
    out = grid.copy()
    h, w = grid.shape
    for dy in range(-r, r + 1):
        for dx in range(-r, r + 1):
            if dx * dx + dy * dy > r * r + r:
                continue
            shifted = numpy.zeros_like(grid)
            shifted[max(dy, 0):h + min(dy, 0), max(dx, 0):w + min(dx, 0)] = \
                grid[max(-dy, 0):h + min(-dy, 0), max(-dx, 0):w + min(-dx, 0)]
            out |= shifted
    return out


def iou(a, b):
    """Intersection over union with tolerance: what each picture has near the
    other counts as shared, averaged over the two directions."""
    na, nb = int(a.sum()), int(b.sum())
    if na == 0 and nb == 0:
        return 1.0
    shared = (int((a & dilated(b, TOLERANCE)).sum()) + int((b & dilated(a, TOLERANCE)).sum())) / 2
    return shared / (na + nb - shared)


# ------------------------------------------------------------------ the run

def percentile(values, p):
    s = sorted(values)
    if not s:
        return float("nan")
    k = (len(s) - 1) * p
    f = math.floor(k)
    c = min(f + 1, len(s) - 1)
    return s[f] + (s[c] - s[f]) * (k - f)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--build", default=os.path.join(ROOT, "build"), help="the build folder (default build/)")
    ap.add_argument("--keep", help="write the drawings and both pictures of each into this folder")
    ap.add_argument("--only", nargs="*", help="only the drawings named")
    args = ap.parse_args()
    qorvan = os.path.join(args.build, "bin", "qorvan")
    if not os.access(qorvan, os.X_OK):
        sys.exit("bench: build %s first" % qorvan)
    folder = args.keep or tempfile.mkdtemp(prefix="dxf-fidelity-")
    os.makedirs(folder, exist_ok=True)
    results, by_type, times = [], {}, []
    print("%-24s %6s %6s %6s  %s" % ("drawing", "IoU", "ours", "ezdxf", "warnings"))
    for name, types, build, version in drawings():
        if args.only and name not in args.only:
            continue
        dxf = make_drawing(folder, name, build, version)
        ref = os.path.join(folder, name + "_ezdxf.png")
        reference_png(dxf, ref)
        png, seconds, warnings = ours_png(qorvan, dxf, os.path.join(folder, name + ".sld"),
                                          os.path.join(folder, name + "_qorvan.png"))
        times.append(seconds)
        b = fitted(drawn(ref))
        a = fitted(drawn(png)) if png else numpy.zeros_like(b)
        score = iou(a, b)
        results.append((name, score))
        for t in types:
            by_type.setdefault(t, []).append(score)
        note = " | ".join(w.replace(dxf, name) for w in warnings.splitlines())
        print("%-24s %6.3f %6d %6d  %s" % (name, score, a.sum(), b.sum(), note[:100]))
    scores = [s for _, s in results]
    print()
    print("%-24s %6s %6s %4s" % ("entity type", "mean", "min", "n"))
    for t in sorted(by_type):
        v = by_type[t]
        print("%-24s %6.3f %6.3f %4d" % (t, statistics.mean(v), min(v), len(v)))
    print()
    print("drawings %d: median %.3f, tenth percentile %.3f, mean %.3f, min %.3f (target: median >= 0.95, "
          "tenth percentile >= 0.85)" % (len(scores), statistics.median(scores), percentile(scores, 0.1),
                                         statistics.mean(scores), min(scores)))
    # Text is measured against an outline font's shapes, which a single-stroke
    # font cannot match letter for letter (widths and spacing differ), so the
    # drawings that are text and little else are also left out once.
    shapes = [s for (name, s), (_, types, _, _) in zip(results, [d for d in drawings()
              if not args.only or d[0] in args.only]) if types[0] not in ("TEXT", "MTEXT")]
    if shapes:
        print("drawings without text as their subject %d: median %.3f, tenth percentile %.3f, min %.3f"
              % (len(shapes), statistics.median(shapes), percentile(shapes, 0.1), min(shapes)))
    bins = [0, 0.5, 0.7, 0.85, 0.9, 0.95, 1.01]
    counts = [sum(lo <= s < hi for s in scores) for lo, hi in zip(bins, bins[1:])]
    print("distribution: " + ", ".join("[%.2f, %.2f): %d" % (lo, min(hi, 1), n)
                                      for lo, hi, n in zip(bins, bins[1:], counts)))
    print("make: median %.3f s a drawing" % statistics.median(times))
    if not args.keep:
        import shutil
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
