#!/usr/bin/env python3
"""Writes the hostile inputs of bench/bounds.sh into a folder.

Each input is small or sparse and made from a fixed seed, so that the same
run can be repeated; none of them is kept in the repository.

    bench/hostile.py DIR [NAME...]      (every input when no name is given)
"""
import os
import random
import struct
import sys


def quads_svg(path, count):
    # Quadrilaterals laid over each other across the whole picture: every
    # edge crosses many others, the worst case for cutting a fill.
    rnd = random.Random(20261209 + count)
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 1000 1000">\n'
             '<path fill="red" fill-rule="nonzero" d="']
    for _ in range(count):
        pts = [(rnd.uniform(0, 1000), rnd.uniform(0, 1000)) for _ in range(4)]
        parts.append("M%.1f %.1f L%.1f %.1f L%.1f %.1f L%.1f %.1fZ " % tuple(c for p in pts for c in p))
    parts.append('"/>\n</svg>\n')
    with open(path, "w") as f:
        f.write("".join(parts))


def dash_svg(path):
    with open(path, "w") as f:
        f.write('<svg xmlns="http://www.w3.org/2000/svg" width="100" height="100">'
                '<path d="M0 0L100 100" stroke="black" stroke-dasharray="1e-9 1e-9"/></svg>\n')


def css_svg(path, rules, elements):
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 200 200">\n<style>\n']
    for i in range(rules):
        parts.append(".c%d{stroke:#%06x}\n" % (i, (i * 2654435761) & 0xFFFFFF))
    parts.append("</style>\n")
    for i in range(elements):
        x = i % 200
        parts.append('<line class="c%d" x1="%d" y1="0" x2="%d" y2="200"/>\n' % (i % rules, x, x))
    parts.append("</svg>\n")
    with open(path, "w") as f:
        f.write("".join(parts))


def hatch_dxf(path, loops):
    rnd = random.Random(20261209)
    out = ["0", "SECTION", "2", "ENTITIES", "0", "HATCH", "8", "0", "62", "1",
           "10", "0", "20", "0", "30", "0", "210", "0", "220", "0", "230", "1",
           "2", "SOLID", "70", "1", "71", "0", "91", str(loops)]
    for _ in range(loops):
        out += ["92", "2", "72", "0", "73", "1", "93", "4"]
        for _ in range(4):
            out += ["10", "%.2f" % rnd.uniform(0, 1000), "20", "%.2f" % rnd.uniform(0, 1000)]
        out += ["97", "0"]
    out += ["75", "0", "76", "1", "98", "0", "0", "ENDSEC", "0", "EOF"]
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


def slide_header(xdots=1024, ydots=768):
    return (b"AutoCAD Slide\r\n\x1a\x00" + b"V" + bytes([2]) + struct.pack("<HH", xdots, ydots)
            + struct.pack("<I", 10000000 * xdots // ydots) + struct.pack("<HH", 2, 0x1234))


def fill_slide(path, vertices):
    # One fill whose edges zigzag across the whole picture.
    body = bytearray()
    body += struct.pack("<H", 0xFF07)  # colour 7
    body += struct.pack("<HHH", 0xFD00, vertices, 0xFFFE)
    for i in range(vertices):
        x = (i * 37) % 1024
        y = 0 if i % 2 == 0 else 767
        body += struct.pack("<Hhh", 0xFD00, x, y)
    body += struct.pack("<HHH", 0xFD00, 0, 0xFFFF)
    body += struct.pack("<H", 0xFC00)
    with open(path, "wb") as f:
        f.write(slide_header() + body)


def sparse_library(path):
    # A library of one slide at the start and one in the last byte of a file
    # of 2 GiB - 1 bytes, the rest a hole: the largest the store accepts.
    size = 2**31 - 1
    slide = slide_header(64, 64) + struct.pack("<hhhh", 0, 0, 63, 63) + struct.pack("<H", 0xFC00)
    header = b"AutoCAD Slide Library 1.0\r\n\x1a".ljust(32, b"\0")
    first = len(header) + 3 * 36
    entries = b"".join(name.ljust(32, b"\0") + struct.pack("<I", off)
                       for name, off in ((b"FIRST", first), (b"LAST", size - 1)))
    with open(path, "wb") as f:
        f.write(header + entries + b"\0" * 36 + slide)
        f.truncate(size - 1)
        f.seek(size - 1)
        f.write(b"\0")


def salvage_input(path, slides):
    # Slides one after another without a directory: salvage finds each by
    # its signature.
    slide = slide_header(64, 64) + struct.pack("<hhhh", 0, 0, 63, 63) + struct.pack("<H", 0xFC00)
    with open(path, "wb") as f:
        f.write(b"\0" * 64)
        chunk = slide * 4096
        left = slides
        while left >= 4096:
            f.write(chunk)
            left -= 4096
        f.write(slide * left)


def build_text(path, entries):
    with open(path, "w") as f:
        f.write("qorvan-library 1\n")
        for i in range(entries):
            f.write('entry %d "S%d"\n' % (i + 1, i))
        f.write("terminator\n")
        for i in range(entries):
            f.write("slide %d\nxdots 10\nydots 10\nvector 0 0 9 9\nend\n" % (i + 1))


INPUTS = {
    "quads500.svg": lambda p: quads_svg(p, 500),
    "quads1000.svg": lambda p: quads_svg(p, 1000),
    "dash.svg": dash_svg,
    "css.svg": lambda p: css_svg(p, 40000, 40000),
    "hatch500.dxf": lambda p: hatch_dxf(p, 500),
    "fill65535.sld": lambda p: fill_slide(p, 65535),
    "sparse.slb": sparse_library,
    "salvage.bin": lambda p: salvage_input(p, 200001),
    "build100k.txt": lambda p: build_text(p, 100000),
}


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    names = sys.argv[2:] or list(INPUTS)
    os.makedirs(folder, exist_ok=True)
    for name in names:
        if name not in INPUTS:
            sys.exit("hostile.py: no input called %s (there are %s)" % (name, ", ".join(INPUTS)))
        INPUTS[name](os.path.join(folder, name))


if __name__ == "__main__":
    main()
