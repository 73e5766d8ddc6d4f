#!/usr/bin/env python3
"""qorvan check at a terminal: the progress bar is drawn on standard error and
erased before every result line, so what a person sees on the screen is the
report alone, line for line what a pipe receives; on a narrow terminal the
bar stays within one row, so that erasing it leaves nothing behind.

Usage: check_terminal_test.py --qorvan BUILD/bin/qorvan
"""

import argparse
import fcntl
import os
import pty
import re
import select
import struct
import subprocess
import sys
import tempfile
import termios


def slide(records):
    header = b"AutoCAD Slide\r\n\x1a\x00" + b"V\x02" + struct.pack("<hhihH", 100, 100, 0, 0, 0x1234)
    return header + records


def screen(data):
    """The lines a terminal shows for data: carriage return, erase to the end
    of the line (ESC [ K) and line feed; anything else is written over what
    the line held."""
    lines, line, col = [], [], 0
    i = 0
    while i < len(data):
        if data.startswith(b"\x1b[K", i):
            del line[col:]
            i += 3
            continue
        c = data[i : i + 1]
        i += 1
        if c == b"\r":
            col = 0
        elif c == b"\n":
            lines.append(b"".join(line).decode("latin-1"))
            line, col = [], 0
        else:
            if col < len(line):
                line[col] = c
            else:
                line.append(c)
            col += 1
    if line:
        lines.append(b"".join(line).decode("latin-1"))
    return lines


def at_terminal(argv, cwd, columns):
    pid, fd = pty.fork()
    if pid == 0:
        fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
        os.chdir(cwd)
        os.execv(argv[0], argv)
    out = b""
    while True:
        ready, _, _ = select.select([fd], [], [], 60)
        if not ready:
            raise AssertionError("qorvan check did not finish; output %r" % out[-400:])
        try:
            chunk = os.read(fd, 65536)
        except OSError:
            chunk = b""
        if not chunk:
            break
        out += chunk
    _, status = os.waitpid(pid, 0)
    return os.waitstatus_to_exitcode(status), out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--qorvan", required=True)
    qorvan = os.path.abspath(ap.parse_args().qorvan)

    with tempfile.TemporaryDirectory() as work:
        names = []
        for i in range(40):
            name = "s%02d.sld" % i
            body = struct.pack("<hhhh", 0, 0, 100, 100)
            if i % 7 == 3:
                body += struct.pack("<H", 0x8000)  # a warning
            if i % 11 == 5:
                body = body[:5]  # a record cut short: an error
            else:
                body += struct.pack("<H", 0xFC00)
            with open(os.path.join(work, name), "wb") as f:
                f.write(slide(body))
            names.append(name)
        argv = [qorvan, "check"] + names

        piped = subprocess.run(argv, cwd=work, capture_output=True)
        if piped.stderr:
            print("FAIL: on a pipe, standard error holds %r" % piped.stderr[:200])
            return 1
        wanted = piped.stdout.decode("latin-1").splitlines()
        for columns, bar in ((80, True), (40, False), (12, False)):
            status, raw = at_terminal(argv, work, columns)
            if status != piped.returncode:
                print("FAIL: status %d at a terminal, %d on a pipe" % (status, piped.returncode))
                return 1
            if (b"[#" in raw) != bar:
                print("FAIL: %d columns: a bar %s: %r" % (columns, "missing" if bar else "drawn", raw[:300]))
                return 1
            drawn = re.findall(rb"\r([^\r\n\x1b]*)", raw)
            if not any(b"/40" in d for d in drawn):
                print("FAIL: %d columns: no progress drawn: %r" % (columns, raw[:300]))
                return 1
            wide = [d for d in drawn if len(d) >= columns]
            if wide:
                print("FAIL: %d columns: progress %r fills the row and wraps" % (columns, wide[0]))
                return 1
            shown = screen(raw)
            if shown != wanted:
                for a, b in zip(shown, wanted):
                    if a != b:
                        print("FAIL: the screen shows %r where the report says %r" % (a, b))
                        break
                else:
                    print("FAIL: %d lines on the screen, %d in the report" % (len(shown), len(wanted)))
                return 1
        if "warning" not in piped.stdout.decode() or "error" not in piped.stdout.decode():
            print("FAIL: the report lacks the warnings and errors made for it")
            return 1
    print("ok: %d result lines, the bar erased before each, at 80, 40 and 12 columns" % len(wanted))
    return 0


if __name__ == "__main__":
    sys.exit(main())
