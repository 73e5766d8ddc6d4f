#!/usr/bin/env python3
"""The Debian package, built from the build folder and looked into.

Usage: package_test.py --build BUILD

Builds the .deb with cpack into a temporary folder, lists its contents,
unpacks it with dpkg-deb -x into a temporary root and runs the console from
there, and runs lintian on it when lintian is installed: no error may be
reported. Skipped (exit 77) without cpack's DEB tools (dpkg-deb,
dpkg-shlibdeps).
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77


def run(argv, **kw):
    return subprocess.run(argv, text=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600, **kw)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", required=True)
    args = ap.parse_args()
    missing = [t for t in ("cpack", "dpkg-deb", "dpkg-shlibdeps") if not shutil.which(t)]
    if missing:
        print("no %s: skipped" % ", ".join(missing))
        return SKIP
    work = tempfile.mkdtemp(prefix="qorvan-package-")
    try:
        return test(args, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def test(args, work):
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)
            print("FAIL: " + what)

    r = run(["cpack", "-G", "DEB", "--config", os.path.join(args.build, "CPackConfig.cmake"), "-B", work])
    debs = [f for f in os.listdir(work) if f.endswith(".deb")]
    if r.returncode != 0 or len(debs) != 1:
        print(r.stdout + r.stderr)
        return 1
    deb = os.path.join(work, debs[0])
    print("built " + debs[0])

    fields = run(["dpkg-deb", "--field", deb]).stdout
    print(fields)
    depends = next((l for l in fields.splitlines() if l.startswith("Depends:")), "")
    # dpkg-shlibdeps found what the programs link: libc, libpng, Cairo (the
    # smooth style's module), libedit.
    for lib in ("libc6", "libpng16-16", "libcairo2", "libedit2"):
        check(lib in depends, "Depends names %s: %r" % (lib, depends))

    # Packages built against libqorvan depend on this one, through its shlibs.
    shlibs = run(["dpkg-deb", "--info", deb, "shlibs"]).stdout
    check(shlibs.startswith("libqorvan 1 qorvan"), "shlibs names libqorvan.so.1: %r" % shlibs)

    listing = run(["dpkg-deb", "--contents", deb]).stdout
    paths = {line.split()[-1].lstrip(".") for line in listing.splitlines() if line.strip()}
    for p in ("/usr/bin/qorvan", "/usr/bin/qorvan-console", "/usr/lib/qorvan/qorvan.arx",
              "/usr/share/mime/packages/qorvan.xml", "/usr/share/thumbnailers/qorvan.thumbnailer",
              "/usr/share/icons/hicolor/scalable/apps/qorvan.svg", "/usr/share/doc/qorvan/copyright",
              "/usr/share/bash-completion/completions/qorvan", "/usr/share/qorvan/samples/samples.slb",
              "/usr/lib/libqorvan.so.1.0.0", "/usr/include/qorvan/qorvan.h", "/usr/lib/pkgconfig/qorvan.pc",
              "/usr/share/qorvan/magic", "/usr/lib/python3/dist-packages/qorvan/__init__.py"):
        check(p in paths, "package holds " + p)

    # The loaders and plugins land where the system's gdk-pixbuf and Qt look,
    # when they were built.
    for built, where in (("loaders/libpixbufloader-sld.so", "/gdk-pixbuf-2.0/2.10.0/loaders/libpixbufloader-sld.so"),
                         ("plugins/qt6/imageformats/libqsld.so", "/qt6/plugins/imageformats/libqsld.so"),
                         ("plugins/qt5/imageformats/libqsld.so", "/qt5/plugins/imageformats/libqsld.so")):
        if os.path.exists(os.path.join(args.build, built)):
            check(any(p.startswith("/usr/lib/") and p.endswith(where) for p in paths), "package holds " + where)

    root = os.path.join(work, "root")
    r = run(["dpkg-deb", "-x", deb, root])
    check(r.returncode == 0, "dpkg-deb -x: " + r.stderr)
    samples = os.path.join(root, "usr/share/qorvan/samples")
    r = run([os.path.join(root, "usr/bin/qorvan-console"), "-e", '(slb-list "samples")'], cwd=samples)
    check(r.returncode == 0 and '"BOX"' in r.stdout, "unpacked console lists samples: %r %r" % (r.stdout, r.stderr))

    if shutil.which("lintian"):
        r = run(["lintian", "--tag-display-limit", "0", deb])
        print(r.stdout + r.stderr)
        errors = [l for l in r.stdout.splitlines() if l.startswith("E:")]
        check(not errors, "lintian errors: %s" % errors)
    else:
        print("left out: lintian (not installed)")

    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
