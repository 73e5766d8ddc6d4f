#!/usr/bin/env python3
"""Kills `qorvan` editing a library at random moments and checks what is left.

Each trial runs one of append, delete, replace or rename on a library of a
few hundred real slides, sends SIGKILL after a random delay drawn from a
fixed seed, and then checks that:

  * the library is a sound library (read here with a reader of our own, and
    listed by `qorvan list`) whose slides, names and order equal either the
    state before the operation or the state after it;
  * the library keeps its mode (0640), its owner and group (given to
    nobody when the script runs as root), and the symbolic link the edits go
    through stays a link to it;
  * every other file in the folder is byte for byte what it was, and the only
    new file, if any, is the library's temporary file (LIB.tmp, LIB-N.tmp),
    which is then removed as a user would.

The state after an operation is worked out here from the state before it, not
by asking the program, so a program that wrote the wrong library would fail
even when never killed.

Usage: crash_safety.py --qorvan BUILD/bin/qorvan --testdata DIR [--trials N]
                       [--seed S] [--slides N] [--keep DIR]
Exit status 0 when every trial passed, 1 when one failed, 77 when the real
slides are missing (CTest reports that as skipped).
"""

import argparse
import hashlib
import os
import random
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

HEADER = b"AutoCAD Slide Library 1.0\r\n\x1a"
HEADER_SIZE = 32
ENTRY_SIZE = 36
NAME_SIZE = 32
SKIP = 77


class Unsound(Exception):
    pass


def read_library(path):
    """The library's slides as a list of (name, bytes), in directory order."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < HEADER_SIZE + ENTRY_SIZE or data[: len(HEADER)] != HEADER:
        raise Unsound("header")
    entries = []
    pos = HEADER_SIZE
    while True:
        if pos + ENTRY_SIZE > len(data):
            raise Unsound("directory runs past the end of the file")
        raw = data[pos : pos + ENTRY_SIZE]
        pos += ENTRY_SIZE
        if raw[0] == 0:
            break
        name = raw[:NAME_SIZE].split(b"\0", 1)[0].decode("latin-1")
        (offset,) = struct.unpack("<i", raw[NAME_SIZE:])
        entries.append((name, offset))
    slides = []
    for i, (name, offset) in enumerate(entries):
        end = entries[i + 1][1] if i + 1 < len(entries) else len(data)
        if offset < pos or offset > end or end > len(data):
            raise Unsound("slide %s at %d outside %d..%d" % (name, offset, pos, len(data)))
        slides.append((name, data[offset:end]))
    return slides


def write_library(path, slides):
    first = HEADER_SIZE + ENTRY_SIZE * (len(slides) + 1)
    directory, body = b"", b""
    for name, data in slides:
        directory += name.encode("latin-1").ljust(NAME_SIZE, b"\0") + struct.pack("<i", first + len(body))
        body += data
    with open(path, "wb") as f:
        f.write(HEADER.ljust(HEADER_SIZE, b"\0") + directory + b"\0" * ENTRY_SIZE + body)


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def snapshot(folder):
    return {n: digest(os.path.join(folder, n)) for n in os.listdir(folder)}


def real_slides(testdata):
    found = []
    for root, _, files in os.walk(testdata):
        for n in sorted(files):
            if n.lower().endswith(".sld"):
                with open(os.path.join(root, n), "rb") as f:
                    found.append(f.read())
    return found


class Campaign:
    def __init__(self, args, work):
        self.qorvan = os.path.abspath(args.qorvan)
        self.rng = random.Random(args.seed)
        self.work = work
        self.folder = os.path.join(work, "lib")
        self.sources = os.path.join(work, "src")
        os.mkdir(self.folder)
        os.mkdir(self.sources)
        self.pool = real_slides(args.testdata)
        self.library = os.path.join(self.folder, "icons.slb")
        self.state = [("S%04d" % i, self.pool[i % len(self.pool)]) for i in range(args.slides)]
        write_library(self.library, self.state)
        os.chmod(self.library, 0o640)
        if os.geteuid() == 0:
            os.chown(self.library, 65534, 65534)
        st = os.stat(self.library)
        self.identity = (st.st_mode & 0o7777, st.st_uid, st.st_gid)
        # Every edit goes through a link, as users with a library in a
        # shared folder often have it.
        self.link = os.path.join(self.folder, "via-link.slb")
        os.symlink("icons.slb", self.link)
        self.via = self.link
        self.serial = args.slides
        # Bystanders: a slide file, another library, and a temporary-looking
        # name that belongs to the user, none of which may change.
        with open(os.path.join(self.folder, "notes.txt"), "w") as f:
            f.write("not a library\n")
        write_library(os.path.join(self.folder, "other.slb"), self.state[:3])
        with open(os.path.join(self.folder, "icons.tmp"), "wb") as f:
            f.write(b"the user's own file\n")
        with open(os.path.join(self.folder, "S0000.sld"), "wb") as f:
            f.write(self.pool[0])
        self.lead_in = {}
        self.killed_early = self.killed_late = self.completed = self.leftovers = 0

    def fresh_name(self):
        self.serial += 1
        return "N%04d" % self.serial

    def source(self, name, data):
        path = os.path.join(self.sources, name + ".sld")
        with open(path, "wb") as f:
            f.write(data)
        return path

    def other_slide(self, data):
        while True:
            candidate = self.rng.choice(self.pool)
            if candidate != data:
                return candidate

    def plan(self):
        """One operation on the current state: (kind, argv, expected state)."""
        names = [n for n, _ in self.state]
        kinds = ["append", "delete", "replace", "rename"]
        if len(self.state) > 320:
            kinds.remove("append")
        if len(self.state) < 200:
            kinds.remove("delete")
        kind = self.rng.choice(kinds)
        if kind == "append":
            name = self.fresh_name()
            data = self.rng.choice(self.pool)
            return kind, [self.via, self.source(name, data)], self.state + [(name, data)]
        i = self.rng.randrange(len(self.state))
        name, data = self.state[i]
        rest = self.state[:i] + self.state[i + 1 :]
        if kind == "delete":
            return kind, [self.via, name.lower()], rest
        if kind == "replace":
            new = self.other_slide(data)
            return kind, [self.via, self.source(name, new)], rest + [(name, new)]
        new_name = self.fresh_name()
        after = list(self.state)
        after[i] = (new_name, data)
        assert new_name not in names
        return kind, [self.via, name, new_name], after

    def timed(self, kind, argv):
        started = time.monotonic()
        p = subprocess.run([self.qorvan, kind] + argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        return time.monotonic() - started, p

    def measure(self):
        """How long each operation takes uncut, so that kills fall across it.

        Runs each kind once on a copy of the library and checks the result
        against the expected state: a trial can only be judged against an
        operation that works when left alone."""
        original = self.library
        self.library = self.via = os.path.join(self.work, "probe.slb")
        saved = (self.state, self.serial)
        for kind in ["append", "delete", "replace", "rename"]:
            write_library(self.library, self.state)
            while True:
                k, argv, expected = self.plan()
                if k == kind:
                    break
            took, p = self.timed(kind, argv)
            if p.returncode != 0:
                raise SystemExit("qorvan %s failed uncut: %s" % (kind, p.stderr.decode(errors="replace")))
            if read_library(self.library) != expected:
                raise SystemExit("qorvan %s uncut did not give the expected library" % kind)
            self.lead_in[kind] = took
        os.remove(self.library)
        self.library = original
        self.via = self.link
        self.state, self.serial = saved
        # The probes wrote source files only; the library folder is as set up.

    def trial(self, number):
        kind, argv, after = self.plan()
        before_files = snapshot(self.folder)
        before = self.state
        delay = self.rng.uniform(0.0, self.lead_in[kind] * 1.15)
        p = subprocess.Popen([self.qorvan, kind] + argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(delay)
        killed = p.poll() is None
        if killed:
            os.kill(p.pid, signal.SIGKILL)
        status = p.wait()
        failures = []
        try:
            now = read_library(self.library)
        except (Unsound, OSError) as e:
            now = None
            failures.append("library unsound: %s" % e)
        if now is not None:
            if now == before:
                self.state = before
                if not killed:
                    failures.append("%s exited %d without changing the library" % (kind, status))
                else:
                    self.killed_early += 1
            elif now == after:
                self.state = after
                if killed:
                    self.killed_late += 1
                else:
                    self.completed += 1
            else:
                failures.append("library is neither the state before nor the state after")
        if failures and now not in (before, after):
            # Later trials should judge the program, not this trial's damage.
            write_library(self.library, before)
            self.state = before
            listed = subprocess.run([self.qorvan, "list", self.library], capture_output=True)
            names = listed.stdout.decode("latin-1").split("\n")[:-1]
            if listed.returncode != 0 or names != [n for n, _ in now]:
                failures.append("qorvan list disagrees (exit %d)" % listed.returncode)
        if not os.path.islink(self.link) or os.readlink(self.link) != "icons.slb":
            failures.append("the link to the library is no longer that link")
        st = os.stat(self.library)
        if (st.st_mode & 0o7777, st.st_uid, st.st_gid) != self.identity:
            failures.append("mode, owner or group changed: %o %d:%d" % (st.st_mode & 0o7777, st.st_uid, st.st_gid))
        files = snapshot(self.folder)
        library_name = os.path.basename(self.library)
        temporary = re.compile(r"^icons(-[0-9]+)?\.tmp$", re.IGNORECASE)
        for name in sorted(set(before_files) | set(files)):
            if name in (library_name, os.path.basename(self.link)):
                continue
            if name not in files:
                failures.append("%s disappeared" % name)
            elif name not in before_files:
                if temporary.match(name):
                    self.leftovers += 1
                    os.remove(os.path.join(self.folder, name))
                else:
                    failures.append("%s appeared" % name)
            elif files[name] != before_files[name]:
                failures.append("%s changed" % name)
        for f in failures:
            print("trial %d: %s %s, killed after %.1f ms: %s" % (number, kind, " ".join(argv[1:]), delay * 1000, f))
        return not failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--qorvan", required=True, help="the qorvan program")
    parser.add_argument("--testdata", required=True, help="folder of real slides (searched for *.sld)")
    parser.add_argument("--trials", type=int, default=1000)
    parser.add_argument("--seed", type=int, default=20261208)
    parser.add_argument("--slides", type=int, default=300, help="slides in the library at the start")
    parser.add_argument("--keep", help="work in this (new) folder and keep it")
    args = parser.parse_args()
    if not os.path.isdir(args.testdata) or not real_slides(args.testdata):
        print("no real slides in %s: skipped" % args.testdata)
        return SKIP
    if args.keep:
        os.makedirs(args.keep)
        work = args.keep
    else:
        work = tempfile.mkdtemp(prefix="qorvan-crash-")
    try:
        c = Campaign(args, work)
        c.measure()
        print("library of %d real slides (%d bytes); uncut: %s" % (
            len(c.state), os.path.getsize(c.library),
            ", ".join("%s %.1f ms" % (k, v * 1000) for k, v in c.lead_in.items())))
        failed = 0
        for n in range(1, args.trials + 1):
            if not c.trial(n):
                failed += 1
        print("%d trials, %d failures (seed %d): killed before the change %d, killed after it %d, "
              "finished before the kill %d; leftover temporary files %d" % (
                  args.trials, failed, args.seed, c.killed_early, c.killed_late, c.completed, c.leftovers))
        return 1 if failed else 0
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
