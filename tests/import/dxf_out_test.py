#!/usr/bin/python3
"""qorvan render SLIDE -o x.dxf checked by an independent reader (ezdxf).

For hand-made slides and real ones: ezdxf reads the DXF and its audit finds
no error; the LINE and SOLID entities are as many as the slide's vectors
and fills (read by a plain reader of this script's own); the layers carry
the slide's colours; and ezdxf's drawing add-on (matplotlib) draws the DXF
where qorvan draws the slide, compared as drawn pixels (intersection over
union, each picture's pixels counted as shared when the other draws within
two pixels).

Usage: dxf_out_test.py QORVAN_BINARY TESTDATA_DIR
Exit 77 (skipped) without ezdxf.
"""
import os
import struct
import subprocess
import sys
import tempfile

try:
    import ezdxf
except ImportError:
    print("python3-ezdxf is not installed; skipped")
    sys.exit(77)

QORVAN, TESTDATA = sys.argv[1], sys.argv[2]
FAILURES = []
NAMED = {1: "RED", 2: "YELLOW", 3: "GREEN", 4: "CYAN", 5: "BLUE", 6: "MAGENTA", 7: "WHITE", 0: "BLACK"}


def run(args):
    r = subprocess.run([QORVAN] + args, capture_output=True, text=True)
    if r.returncode != 0:
        raise RuntimeError("qorvan %s: %d\n%s" % (" ".join(args), r.returncode, r.stderr))
    return r


def check(name, cond, what):
    if not cond:
        FAILURES.append("%s: %s" % (name, what))


def slide_counts(path):
    """Vectors, fills of two or more corners and colours used, of a little-endian new-form slide."""
    d = open(path, "rb").read()
    xdots, ydots = struct.unpack("<hh", d[19:23])
    i, colour = 31, 7
    vectors, fills, colours, fill = 0, 0, set(), None
    while i + 2 <= len(d):
        hi = d[i + 1]
        if hi <= 0x7F:
            vectors, i = vectors + 1, i + 8
            colours.add(colour)
        elif hi in (0xFB, 0xFE):
            vectors, i = vectors + 1, i + (5 if hi == 0xFB else 3)
            colours.add(colour)
        elif hi == 0xFF:
            colour, i = d[i], i + 2
        elif hi == 0xFD:
            count, y = struct.unpack("<Hh", d[i + 2:i + 6])
            if fill is None:
                fill = 0
            elif y < 0:
                if fill >= 2:
                    fills += 1
                    colours.add(colour)
                fill = None
            else:
                fill += 1
            i += 6
        elif hi == 0xFC:
            break
        else:
            i += 2
    return xdots, ydots, vectors, fills, colours


def drawn_mask(path):
    import matplotlib.image
    img = matplotlib.image.imread(path)
    return (img[:, :, :3] > 0.02).any(axis=2)


def dilate(mask, radius):
    import numpy
    out = mask.copy()
    h, w = mask.shape
    for dy in range(-radius, radius + 1):
        for dx in range(-radius, radius + 1):
            shifted = numpy.zeros_like(mask)
            shifted[max(0, dy):h + min(0, dy), max(0, dx):w + min(0, dx)] = \
                mask[max(0, -dy):h + min(0, -dy), max(0, -dx):w + min(0, -dx)]
            out |= shifted
    return out


def agreement(ours, peer, radius=2):
    """Intersection over union with a tolerance: a pixel of one is shared when the other draws near it."""
    near_peer, near_ours = dilate(peer, radius), dilate(ours, radius)
    shared = int((ours & near_peer).sum()) + int((peer & near_ours).sum())
    total = int(ours.sum()) + int(peer.sum())
    return shared / total if total else 1.0


def ezdxf_picture(dxf, png, xdots, ydots):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from ezdxf.addons.drawing import Frontend, RenderContext
    from ezdxf.addons.drawing.matplotlib import MatplotlibBackend
    doc = ezdxf.readfile(dxf)
    # matplotlib truncates the size in pixels: half a pixel more gives xdots + 1.
    fig = plt.figure(figsize=((xdots + 1.5) / 100, (ydots + 1.5) / 100), dpi=100)
    ax = fig.add_axes([0, 0, 1, 1])
    Frontend(RenderContext(doc), MatplotlibBackend(ax)).draw_layout(doc.modelspace(), finalize=False)
    ax.set_axis_off()
    ax.set_xlim(-0.5, xdots + 0.5)
    ax.set_ylim(-0.5, ydots + 0.5)
    ax.set_facecolor("black")
    fig.patch.set_facecolor("black")
    fig.savefig(png, dpi=100, facecolor="black")
    plt.close(fig)


def build(tmp, name, text):
    src = os.path.join(tmp, name + ".txt")
    with open(src, "w") as f:
        f.write(text)
    out = os.path.join(tmp, name + ".sld")
    run(["build", src, "-o", out])
    return out


HAND_MADE = {
    "records": "qorvan-slide 1\nxdots 300\nydots 200\nvector 10 10 290 190\ncolour 1\nvector 20 180 280 20\n"
               "offset 5 -3 40 -3\nendpoint 4 4\ncolour 0\nvector 100 100 120 100\ncolour 30\n"
               "vector 10 100 290 100\nend\n",
    "fills": "qorvan-slide 1\nxdots 300\nydots 200\nfill-flag 2\ncolour 3\nfill 10,10 100,10 55,90\n"
             "colour 5\nfill 150,20 280,20 280,90 150,90\ncolour 6\n"
             "fill 150,110 200,110 220,150 200,190 150,190 130,150\nend\n",
}


def dxf_checks(name, sld, tmp, floor):
    dxf = os.path.join(tmp, name + ".dxf")
    run(["render", sld, "-o", dxf])
    xdots, ydots, vectors, fills, colours = slide_counts(sld)
    doc = ezdxf.readfile(dxf)
    check(name, doc.dxfversion == "AC1009", "version %s, not R12" % doc.dxfversion)
    auditor = doc.audit()
    check(name, not auditor.has_errors, "ezdxf's audit: %s" % [e.message for e in auditor.errors][:3])
    msp = doc.modelspace()
    lines = [e for e in msp if e.dxftype() == "LINE"]
    solids = [e for e in msp if e.dxftype() == "SOLID"]
    check(name, len(lines) == vectors, "%d LINEs for %d vectors" % (len(lines), vectors))
    check(name, len(solids) >= fills, "%d SOLIDs for %d fills" % (len(solids), fills))
    check(name, len(lines) + len(solids) == len(msp), "entities other than LINE and SOLID")
    for c in colours:
        layer = NAMED.get(c, "COLOUR_%d" % c)
        check(name, doc.layers.has_entry(layer), "no layer %s" % layer)
        if doc.layers.has_entry(layer):
            got = doc.layers.get(layer)
            check(name, got.color == (7 if c == 0 else c) and got.is_on() == (c != 0),
                  "layer %s has colour %d, on %s" % (layer, got.color, got.is_on()))
    check(name, all(e.dxf.color == 256 for e in lines + solids), "an entity not BYLAYER")
    check(name, tuple(doc.header["$LIMMAX"])[:2] == (xdots, ydots), "limits %r" % (doc.header["$LIMMAX"],))
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        return None
    ours_png, peer_png = os.path.join(tmp, name + "_ours.png"), os.path.join(tmp, name + "_ezdxf.png")
    run(["render", sld, "-o", ours_png])
    ezdxf_picture(dxf, peer_png, xdots, ydots)
    ours, peer = drawn_mask(ours_png), drawn_mask(peer_png)
    if ours.shape != peer.shape:
        FAILURES.append("%s: ezdxf drew %r, qorvan %r" % (name, peer.shape, ours.shape))
        return None
    iou = agreement(ours, peer)
    check(name, iou >= floor, "ezdxf's picture agrees %.3f, below %.2f" % (iou, floor))
    return iou


def main():
    results = []
    with tempfile.TemporaryDirectory() as tmp:
        for name, text in HAND_MADE.items():
            try:
                results.append((name, dxf_checks(name, build(tmp, name, text), tmp, 0.95)))
            except RuntimeError as e:
                FAILURES.append("%s: %s" % (name, e))
        root = os.path.join(TESTDATA, "real")
        if os.path.isdir(root):
            picks = []
            for dirpath, _, files in os.walk(root):
                picks += [os.path.join(dirpath, f) for f in files if f.lower().endswith(".sld")]
            # Small enough for matplotlib to draw quickly, with fills and lines.
            picks = sorted(p for p in picks if 1000 < os.path.getsize(p) < 40000)[:12]
            for path in picks:
                name = os.path.basename(path)[:-4]
                try:
                    results.append((name, dxf_checks(name, path, tmp, 0.9)))
                except RuntimeError as e:
                    FAILURES.append("%s: %s" % (name, e))
        else:
            print("no real slides; only the hand-made ones checked")
    for name, iou in results:
        print("%-24s %s" % (name, "ezdxf agreement %.3f" % iou if iou is not None else "read and audited"))
    for f in FAILURES:
        print("FAIL", f)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
