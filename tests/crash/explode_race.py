#!/usr/bin/env python3
"""`qorvan explode` while another process deletes slides from the library.

Every slide holds its own name over and over, so a file written from stale
positions (the library rewritten between reading the directory and copying
the bytes) shows up as a file holding another slide's name. Each written file
must hold exactly its own slide; slides deleted before the explode began may
be missing, nothing may be mixed.

Usage: explode_race.py --qorvan BUILD/bin/qorvan [--rounds N]
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HEADER = b"AutoCAD Slide Library 1.0\r\n\x1a\0\0\0\0"


def slide(name):
    head = b"AutoCAD Slide\r\n\x1a\0V\x02" + struct.pack("<6H", 100, 100, 0, 0, 0, 0x1234)
    return head + (name.encode() * 2000)[:10000] + struct.pack("<H", 0xFC00)


def write_library(path, slides):
    first = len(HEADER) + 36 * (len(slides) + 1)
    directory, offset = [], first
    for name, data in slides:
        directory.append(name.encode().ljust(32, b"\0") + struct.pack("<i", offset))
        offset += len(data)
    with open(path, "wb") as f:
        f.write(HEADER + b"".join(directory) + b"\0" * 36 + b"".join(d for _, d in slides))


def round_(qorvan, work, count):
    lib = os.path.join(work, "lib.slb")
    out = os.path.join(work, "out")
    shutil.rmtree(out, ignore_errors=True)
    os.mkdir(out)
    slides = {("S%04d" % i): slide("S%04d" % i) for i in range(count)}
    write_library(lib, list(slides.items()))
    # The deleter takes the slides at the front, so every rewrite moves all
    # the others.
    deleter = subprocess.Popen(
        ["sh", "-c", "for i in $(seq 0 2 %d); do %s delete %s $(printf S%%04d $i); done" % (count // 2, qorvan, lib)],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([qorvan, "explode", lib, "-d", out], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deleter.wait()
    wrong = [f for f in sorted(os.listdir(out)) if open(os.path.join(out, f), "rb").read() != slides.get(f[:-4])]
    return len(os.listdir(out)), wrong


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--qorvan", required=True)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--slides", type=int, default=400)
    args = parser.parse_args()
    qorvan = os.path.abspath(args.qorvan)
    work = tempfile.mkdtemp(prefix="qorvan-race-")
    failed = 0
    try:
        for r in range(1, args.rounds + 1):
            written, wrong = round_(qorvan, work, args.slides)
            print("round %d: %d files written, %d with another slide's bytes%s" % (
                r, written, len(wrong), (" (" + ", ".join(wrong[:5]) + " ...)") if wrong else ""))
            failed += bool(wrong)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
