#!/usr/bin/env python3
"""qorvan-console at a terminal: a pseudo-terminal drives the Command: prompt
the way a person does. Ctrl-C during a long evaluation and at the prompt gives
the prompt back, Tab completes module and core names, help lists functions,
history is on disk after each line, Ctrl-D ends the session with status 0.

Usage: terminal_test.py --console BUILD/bin/qorvan-console
"""

import argparse
import os
import pty
import select
import sys
import tempfile
import termios
import time

PROMPT = b"Command: "


class Session:
    def __init__(self, console, home):
        env = dict(os.environ, HOME=home, TERM="xterm")
        env.pop("DISPLAY", None)
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.chdir(home)
            os.execve(console, [console], env)
        self.seen = b""

    def send(self, data):
        os.write(self.fd, data)

    def expect(self, wanted, timeout=20.0):
        """Reads until wanted appears after what earlier expects consumed."""
        end = time.monotonic() + timeout
        while wanted not in self.seen:
            left = end - time.monotonic()
            if left <= 0:
                raise AssertionError("expected %r, got %r" % (wanted, self.seen[-400:]))
            ready, _, _ = select.select([self.fd], [], [], left)
            if not ready:
                continue
            try:
                chunk = os.read(self.fd, 4096)
            except OSError:
                chunk = b""
            if not chunk:
                raise AssertionError("console ended while waiting for %r; output %r" % (wanted, self.seen[-400:]))
            self.seen += chunk
        before, _, self.seen = self.seen.partition(wanted)
        return before

    def editing(self, timeout=20.0):
        """Waits until the line editor has the terminal in character mode.
        A Ctrl-D typed ahead while the terminal is still in line mode is
        taken by the terminal as an end of file that the editor, once it
        switches modes, never reads; a person cannot type that fast, a test
        can."""
        end = time.monotonic() + timeout
        while termios.tcgetattr(self.fd)[3] & termios.ICANON:
            if time.monotonic() > end:
                raise AssertionError("the line editor did not take the terminal")
            time.sleep(0.01)

    def wait(self, timeout=20.0):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                return os.waitstatus_to_exitcode(status)
            try:
                if select.select([self.fd], [], [], 0.1)[0]:
                    os.read(self.fd, 4096)
            except OSError:
                pass
        os.kill(self.pid, 9)
        raise AssertionError("console did not end")


def check(console):
    with tempfile.TemporaryDirectory() as home:
        s = Session(console, home)
        s.expect(PROMPT)

        # Ctrl-C during a long evaluation: the expression is abandoned, the
        # session goes on and its variables stay usable.
        # The Ctrl-C must come while the loop runs, not while the line is
        # still being read (a loaded machine can take longer than any fixed
        # pause): the expression says when it has started. The marker is
        # built by strcat so the echo of the typed line cannot match it.
        s.send(b'(progn (setq x 1) (princ (strcat "eval" "uating\\n")) (repeat 100000000 (setq x 1)))\r')
        s.expect(b"evaluating")
        time.sleep(0.2)
        s.send(b"\x03")
        s.expect(b"; error: Function cancelled")
        s.expect(PROMPT)
        s.send(b"(+ x 41)\r")
        s.expect(b"42")
        s.expect(PROMPT)

        # Ctrl-C at the prompt gives up the half-typed line, also one that
        # runs over several lines.
        s.send(b"(car\r")
        s.expect(b"(_> ")
        s.send(b"\x03")
        s.expect(b"*Cancel*")
        s.expect(PROMPT)
        s.send(b"(+ 1 2)\r")
        s.expect(b"3")
        s.expect(PROMPT)

        # Tab completes a module function, and a variable in the case typed.
        # (The editor redraws only the added letters, so the proof is that
        # the completed call ran: slb-error names the library it read.)
        s.send(b"(slb-l\t")
        s.expect(b"ist ")
        s.send(b'"nosuch")\r')
        out = s.expect(PROMPT)
        assert b"no function definition" not in out, out
        s.send(b"(slb-error)\r")
        s.expect(b'"\\"nosuch.slb\\": Can\'t open file"')
        s.expect(PROMPT)
        s.send(b"(setq LONGNAME 7)\r")
        s.expect(PROMPT)
        s.send(b"(+ longn\t1)\r")
        out = s.expect(PROMPT)
        assert b"8" in out and b"error" not in out, out

        # The history file holds the lines typed so far, before the end.
        with open(os.path.join(home, ".qorvan_console_history"), "rb") as f:
            history = f.read()
        assert b"LONGNAME" in history, history

        # help at the prompt and (help) list the functions, the module's too.
        s.send(b"help\r")
        listing = s.expect(PROMPT)
        assert b"(slb-append LIBRARY SLIDEFILE)" in listing, listing
        assert b"(car LIST)" in listing, listing
        s.send(b"(help)\r")
        listing = s.expect(PROMPT)
        assert b"(slb-view SLIDEREF" in listing, listing

        # Ctrl-D at an empty prompt ends the session normally.
        s.editing()
        s.send(b"\x04")
        status = s.wait()
        assert status == 0, status


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--console", required=True)
    args = parser.parse_args()
    args.console = os.path.abspath(args.console)
    if not os.path.exists(os.path.join(os.path.dirname(args.console), "qorvan.arx")):
        print("qorvan.arx is not built beside the console; skipped")
        return 77
    check(args.console)
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
