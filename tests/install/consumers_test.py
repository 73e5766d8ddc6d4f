#!/usr/bin/python3
"""Other people's programs opening slides through the installed libqorvan.

Usage: consumers_test.py --build BUILD --source SOURCE [--testdata DIR] [--only NAME...]

Installs BUILD with `cmake --install` into a temporary prefix and uses what
it installed as each consumer uses it: a C program built with
`pkg-config qorvan` draws slides whose pixels must equal `qorvan render`'s
PNG (read back by Pillow or netpbm); file(1) names slides and libraries with
the installed magic. Real slides made by other software are taken from
--testdata when it exists. Each consumer whose tools are missing is left out
and said so; the test is skipped (exit 77) when none could run.
"""
import argparse
import glob
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
failures = []
skipped = []
ran = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL: " + what)
    return ok


def run(argv, **kw):
    kw.setdefault("stdout", subprocess.PIPE)
    kw.setdefault("stderr", subprocess.PIPE)
    kw.setdefault("timeout", 120)
    return subprocess.run(argv, **kw)


def read_pam(data):
    """(width, height, depth, pixel bytes) of a PAM or binary PPM picture."""
    if data.startswith(b"P6"):
        fields = data.split(maxsplit=4)
        return int(fields[1]), int(fields[2]), 3, fields[4]
    end = data.index(b"ENDHDR\n") + len(b"ENDHDR\n")
    head = dict(l.split(b" ", 1) for l in data[:end].splitlines()[1:-1])
    return int(head[b"WIDTH"]), int(head[b"HEIGHT"]), int(head[b"DEPTH"]), data[end:]


def read_png_rgba(path):
    """The PNG's pixels as RGBA bytes, decoded by Pillow, else by netpbm."""
    try:
        from PIL import Image
        with Image.open(path) as im:
            return im.size[0], im.size[1], im.convert("RGBA").tobytes()
    except ImportError:
        pass
    pam = run(["pngtopam", "-alphapam", path]).stdout
    w, h, depth, pixels = read_pam(pam)
    if depth == 4:
        return w, h, pixels
    out = bytearray()
    for i in range(0, len(pixels), depth):
        out += pixels[i:i + 3] + b"\xff"
    return w, h, bytes(out)


class Env:
    def __init__(self, args, work):
        self.args = args
        self.work = work
        self.prefix = os.path.join(work, "prefix")
        self.qorvan = os.path.join(self.prefix, "bin", "qorvan")
        self.samples = os.path.join(self.prefix, "share", "qorvan", "samples")
        libs = glob.glob(os.path.join(self.prefix, "lib*", "**", "libqorvan.so.1"), recursive=True)
        self.libdir = os.path.dirname(libs[0]) if libs else None

    def real_slides(self, every=1):
        """Real slides made by other software, every nth of them, sorted."""
        root = os.path.join(self.args.testdata, "real")
        found = sorted(glob.glob(os.path.join(root, "**", "*.[sS][lL][dD]"), recursive=True))
        return found[::every]

    def real_libraries(self):
        root = os.path.join(self.args.testdata, "real")
        return sorted(glob.glob(os.path.join(root, "**", "*.[sS][lL][bB]"), recursive=True))


def test_c(env):
    """A C program built with pkg-config draws what qorvan render draws."""
    cc = shutil.which("cc") or shutil.which("gcc")
    if not cc or not shutil.which("pkg-config"):
        return "a C compiler and pkg-config"
    pcdir = os.path.join(env.libdir, "pkgconfig")
    penv = dict(os.environ, PKG_CONFIG_PATH=pcdir)
    flags = run(["pkg-config", "--cflags", "--libs", "qorvan"], env=penv, text=True)
    if not check(flags.returncode == 0, "pkg-config qorvan: " + flags.stderr):
        return None
    program = os.path.join(env.work, "render_rgba")
    source = os.path.join(env.args.source, "tests", "install", "render_rgba.c")
    r = run([cc, "-std=c99", "-Wall", "-Wextra", "-Werror", source, "-o", program,
             "-Wl,-rpath," + env.libdir] + flags.stdout.split(), text=True)
    if not check(r.returncode == 0, "the C program builds against the installed header: " + r.stderr):
        return None

    # (file to open, index, reference for qorvan render, extra arguments)
    cases = [(os.path.join(env.samples, "box.sld"), 0, os.path.join(env.samples, "box.sld"), [])]
    library = os.path.join(env.samples, "samples.slb")
    cases.append((library, 2, library[:-4] + "(GEAR)", []))
    for path in env.real_slides(every=9):
        cases.append((path, 0, path, []))
    for path in env.real_libraries()[:2]:
        cases.append((path, 1, None, []))
    # A size and look of the caller's choosing, smooth included.
    box = os.path.join(env.samples, "box.sld")
    cases.append((box, 0, box, ["333", "201", "white", "drawing"]))
    cases.append((box, 0, box, ["120", "90", "none"]))
    cases.append((box, 0, box, ["640", "480", "smooth", "white"]))
    compared = 0
    for path, index, ref, extra in cases:
        pam = run([program, path, str(index)] + extra)
        if not check(pam.returncode == 0, "render_rgba %s %d: %s" % (path, index, pam.stderr)):
            continue
        w, h, depth, pixels = read_pam(pam.stdout)
        if ref is None:
            names = run([env.qorvan, "list", path], text=True).stdout.split()
            ref = "%s(%s)" % (path[:-4], names[index])
        png = os.path.join(env.work, "c-%d.png" % compared)
        argv = [env.qorvan, "render", ref, "-o", png]
        if extra:
            argv += ["--size", "%sx%s" % (extra[0], extra[1])]
            for word in extra[2:]:
                argv += {"smooth": ["--style", "smooth"], "white": ["--background", "white"],
                         "none": ["--background", "none"], "drawing": ["--fit", "drawing"]}[word]
        r = run(argv, text=True)
        if not check(r.returncode == 0, " ".join(argv) + ": " + r.stderr):
            continue
        pw, ph, expected = read_png_rgba(png)
        if "smooth" in extra:
            # Both antialiased by Cairo; PNG stores what Cairo unpremultiplied.
            diff = max(abs(a - b) for a, b in zip(pixels, expected)) if (pw, ph) == (w, h) else 999
            check(diff <= 1, "%s smooth at %dx%d: largest difference %d" % (path, w, h, diff))
        else:
            check((pw, ph) == (w, h) and pixels == expected,
                  "%s slide %d %s: the C library's pixels equal qorvan render's" % (path, index, extra))
        compared += 1
    print("c: %d pictures compared with qorvan render" % compared)
    return None


def test_magic(env):
    """file -m names both forms, both orders, sizes, types and slide counts."""
    if not shutil.which("file"):
        return "file(1)"
    magic = os.path.join(env.prefix, "share", "qorvan", "magic")
    if not check(os.path.isfile(magic), "share/qorvan/magic installed"):
        return None
    box = os.path.join(env.samples, "box.sld")
    made = {}
    for form in ("new", "old"):
        for order in ("little", "big"):
            out = os.path.join(env.work, "box-%s-%s.sld" % (form, order))
            r = run([env.qorvan, "convert", box, "-o", out, "--form", form, "--byte-order", order], text=True)
            check(r.returncode == 0, "qorvan convert --form %s --byte-order %s: %s" % (form, order, r.stderr))
            made[(form, order)] = out
    one = os.path.join(env.work, "one.slb")
    empty = os.path.join(env.work, "empty.slb")
    run([env.qorvan, "append", one, box])
    run([env.qorvan, "create", empty])
    cases = [(made[(f, o)], "AutoCAD slide, %s form, %s-endian, 1000 x 750" % (f, o), "image/vnd.sld")
             for (f, o) in made]
    cases += [(os.path.join(env.samples, "samples.slb"), "AutoCAD slide library, 4 slides",
               "application/x-autocad-slide-library"),
              (one, "AutoCAD slide library, 1 slide", "application/x-autocad-slide-library"),
              (empty, "AutoCAD slide library, empty", "application/x-autocad-slide-library")]
    for path in env.real_libraries():
        count = len(run([env.qorvan, "list", path], text=True).stdout.split())
        cases.append((path, "AutoCAD slide library, %d slides" % count, "application/x-autocad-slide-library"))
    for path in env.real_slides(every=20):
        cases.append((path, "AutoCAD slide, new form, little-endian,", "image/vnd.sld"))
    for path, words, mime in cases:
        said = run(["file", "-b", "-m", magic, path], text=True).stdout.strip()
        check(said.startswith(words), "file -m %s: %r, wanted %r" % (os.path.basename(path), said, words))
        said = run(["file", "-b", "--mime-type", "-m", magic, path], text=True).stdout.strip()
        check(said == mime, "file --mime-type %s: %r" % (os.path.basename(path), said))
    print("magic: %d files named" % len(cases))
    return None


def c_picture(env, path, index=0, size=None, *words):
    """The slide as the C library draws it (the render_rgba program): (w, h, RGBA)."""
    argv = [os.path.join(env.work, "render_rgba"), path, str(index)]
    if size:
        argv += [str(size[0]), str(size[1])] + list(words)
    r = run(argv)
    if r.returncode != 0:
        return None
    w, h, depth, pixels = read_pam(r.stdout)
    return w, h, pixels


def c_ready(env):
    if os.path.exists(os.path.join(env.work, "render_rgba")):
        return True
    test_c(env)
    return os.path.exists(os.path.join(env.work, "render_rgba"))


def converted(env):
    """samples/box.sld in both forms and both byte orders, made by qorvan convert."""
    box = os.path.join(env.samples, "box.sld")
    made = {}
    for form in ("new", "old"):
        for order in ("little", "big"):
            out = os.path.join(env.work, "box-%s-%s.sld" % (form, order))
            if not os.path.exists(out):
                r = run([env.qorvan, "convert", box, "-o", out, "--form", form, "--byte-order", order], text=True)
                check(r.returncode == 0, "qorvan convert --form %s --byte-order %s: %s" % (form, order, r.stderr))
            made[(form, order)] = out
    return made


def mime_home(env):
    """A data home whose MIME database knows both types, from the installed package."""
    home = os.path.join(env.work, "data-home")
    if not os.path.isdir(home):
        shutil.copytree(os.path.join(env.prefix, "share", "mime"), os.path.join(home, "mime"))
        run(["update-mime-database", os.path.join(home, "mime")])
    return home


GDK_SCRIPT = r"""
import json, sys
import gi
gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf, GLib

def rgba(p):
    # The pixbuf's rows without their padding.
    data, stride, w = p.get_pixels(), p.get_rowstride(), p.get_width()
    return b"".join(data[y * stride:y * stride + w * 4] for y in range(p.get_height())).hex()

out = {"formats": [f.get_name() for f in GdkPixbuf.Pixbuf.get_formats()]}
for name, path, w, h in json.loads(sys.argv[1]):
    try:
        if w:
            p = GdkPixbuf.Pixbuf.new_from_file_at_size(path, w, h)
        else:
            p = GdkPixbuf.Pixbuf.new_from_file(path)
        out[name] = [p.get_width(), p.get_height(), p.get_has_alpha(), rgba(p)]
    except GLib.Error as e:
        out[name] = str(e.message)
# In pieces, as a program feeding a loader gives them, by its MIME type.
path = json.loads(sys.argv[1])[0][1]
loader = GdkPixbuf.PixbufLoader.new_with_mime_type("image/vnd.sld")
data = open(path, "rb").read()
for i in range(0, len(data), 7):
    loader.write(data[i:i + 7])
loader.close()
p = loader.get_pixbuf()
out["pieces"] = [p.get_width(), p.get_height(), p.get_has_alpha(), rgba(p)]
info = GdkPixbuf.Pixbuf.get_file_info(path)
out["info"] = [info[0].get_name() if info[0] else None, info[1], info[2]]
print(json.dumps(out))
"""


def test_gdk_pixbuf(env):
    """GdkPixbuf from Debian's Python with gi, against a loaders cache made here."""
    query = run(["pkg-config", "--variable=gdk_pixbuf_query_loaders", "gdk-pixbuf-2.0"], text=True).stdout.strip()
    loaders = glob.glob(os.path.join(env.prefix, "lib*", "**", "libpixbufloader-sld.so"), recursive=True)
    if not os.path.exists(os.path.join(env.args.build, "loaders", "libpixbufloader-sld.so")):
        return "loader built (libgdk-pixbuf-2.0-dev)"
    if not query or not os.path.exists(query) or not shutil.which("update-mime-database"):
        return "gdk-pixbuf-query-loaders or update-mime-database"
    if run(["/usr/bin/python3", "-c", "import gi; gi.require_version('GdkPixbuf', '2.0')"]).returncode != 0:
        return "python3-gi with gir1.2-gdkpixbuf-2.0"
    if not check(len(loaders) == 1, "the loader is installed under the prefix: %s" % loaders):
        return None
    check("/gdk-pixbuf-2.0/2.10.0/loaders/" in loaders[0], "in gdk-pixbuf's loaders folder: " + loaders[0])
    cache = os.path.join(env.work, "loaders.cache")
    with open(cache, "w") as f:
        r = run([query, loaders[0]], stdout=f, text=True)
    check(r.returncode == 0, "gdk-pixbuf-query-loaders: " + r.stderr)
    if not c_ready(env):
        return None
    penv = dict(os.environ, GDK_PIXBUF_MODULE_FILE=cache, XDG_DATA_HOME=mime_home(env))
    box = os.path.join(env.samples, "box.sld")
    library = os.path.join(env.samples, "samples.slb")
    text = os.path.join(env.work, "cut.sld")
    with open(box, "rb") as f, open(text, "wb") as out:
        out.write(f.read(24))
    real = env.real_slides(every=25)
    cases = [("box", box, 0, 0), ("box-at-size", box, 200, 200), ("library", library, 0, 0),
             ("broken", text, 0, 0)]
    cases += [("real-%d" % i, p, 0, 0) for i, p in enumerate(real)]
    for (form, order), path in sorted(converted(env).items()):
        cases.append(("%s-%s" % (form, order), path, 0, 0))
    r = run(["/usr/bin/python3", "-c", GDK_SCRIPT, json.dumps(cases)], env=penv, text=True)
    if not check(r.returncode == 0, "the GdkPixbuf script runs: " + r.stderr[-2000:]):
        return None
    got = json.loads(r.stdout)
    check("sld" in got["formats"], "gdk-pixbuf lists the sld format: %s" % got["formats"])

    def same(name, expected):
        g = got.get(name)
        ok = isinstance(g, list) and expected is not None and (g[0], g[1]) == expected[:2] \
            and bytes.fromhex(g[3]) == expected[2]
        check(ok, "GdkPixbuf %s: the C library's picture (%s)" % (name, g[:3] if isinstance(g, list) else g))

    same("box", c_picture(env, box))
    # A size request is drawn at that size: the slide's proportions in 200 x 200.
    same("box-at-size", c_picture(env, box, 0, (200, 150), "x"))
    same("library", c_picture(env, library, 0))
    same("pieces", c_picture(env, box))
    for i, p in enumerate(real):
        same("real-%d" % i, c_picture(env, p))
    for (form, order), path in converted(env).items():
        same("%s-%s" % (form, order), c_picture(env, box))
    check(isinstance(got["broken"], str) and got["broken"].endswith("file: Error reading slide file. *Invalid*"),
          "a slide cut short is an error with the reason: %r" % got["broken"])
    check(got["info"] == ["sld", 1001, 751], "get_file_info: %s" % got["info"])

    thumbnailer = shutil.which("gdk-pixbuf-thumbnailer")
    if thumbnailer:
        out = os.path.join(env.work, "thumb.png")
        r = run([thumbnailer, "-s", "128", library, out], env=penv, text=True)
        ok = r.returncode == 0 and os.path.exists(out)
        check(ok and max(read_png_rgba(out)[:2]) == 128, "gdk-pixbuf-thumbnailer -s 128: " + r.stderr)
    else:
        skipped.append("gdk-pixbuf-thumbnailer (not installed)")
    print("gdk-pixbuf: %d files opened" % (len(cases) + 1))
    return None


def test_qt(env, major):
    program = os.path.join(env.args.build, "tests", "qt%d_image_reader" % major)
    plugins = glob.glob(os.path.join(env.prefix, "lib*", "**", "qt%d" % major, "plugins", "imageformats",
                                     "libqsld.so"), recursive=True)
    if not os.path.exists(program):
        return "plugin built (Qt %d development files)" % major
    if not check(len(plugins) == 1, "the Qt %d plugin is installed: %s" % (major, plugins)) or not c_ready(env):
        return None
    penv = dict(os.environ, QT_PLUGIN_PATH=os.path.dirname(os.path.dirname(plugins[0])), QT_QPA_PLATFORM="offscreen")
    library = os.path.join(env.samples, "samples.slb")
    names = run([env.qorvan, "list", library], text=True).stdout.split()
    cases = [(library, None, len(names), "slb"), (os.path.join(env.samples, "gear.sld"), None, 1, "sld"),
             (library, (160, 120), len(names), "slb")]
    cases += [(p, None, None, "slb") for p in env.real_libraries()[:1]]
    for (form, order), path in sorted(converted(env).items()):
        cases.append((path, None, 1, "sld"))
    for n, (path, size, count, fmt) in enumerate(cases):
        outdir = os.path.join(env.work, "qt%d-%d" % (major, n))
        os.makedirs(outdir)
        argv = [program, path, outdir] + ([str(size[0]), str(size[1])] if size else [])
        r = run(argv, env=penv, text=True)
        if not check(r.returncode == 0, "Qt %d QImageReader %s: %s %s" % (major, path, r.stdout, r.stderr)):
            continue
        lines = r.stdout.splitlines()
        check("supported sld 1 slb 1" in lines, "Qt %d lists sld and slb: %s" % (major, lines[:1]))
        check("format " + fmt in lines, "Qt %d format of %s: %s" % (major, path, lines))
        want = count if count is not None else len(run([env.qorvan, "list", path], text=True).stdout.split())
        check("count %d" % want in lines, "Qt %d imageCount of %s: %s" % (major, path, lines))
        for i in range(want):
            pam = os.path.join(outdir, "%d.pam" % i)
            if not check(os.path.exists(pam), "Qt %d image %d of %s" % (major, i, path)):
                continue
            with open(pam, "rb") as f:
                w, h, depth, pixels = read_pam(f.read())
            expected = c_picture(env, path, i, size, "x") if size else c_picture(env, path, i)
            check(expected is not None and (w, h, pixels) == expected,
                  "Qt %d image %d of %s (%dx%d) is the C library's picture" % (major, i, path, w, h))
    print("qt%d: %d files read" % (major, len(cases)))
    return None


PYTHON_SCRIPT = r"""
import json, sys
import qorvan
from PIL import Image
out = {}
box, library, text = sys.argv[1:4]
out["list"] = qorvan.list(library)
with qorvan.open(library) as f:
    out["len"] = len(f)
    out["is_library"] = f.is_library
    out["info"] = f.info("gear")._asdict()
    out["render"] = f.render("GEAR").hex()
    out["render_white"] = f.render(2, size=(333, 201), background="white", fit="drawing").hex()
    try:
        import numpy
        a = f.render_array("gear")
        out["array"] = [list(a.shape), str(a.dtype), a.tobytes().hex()]
    except ImportError:
        out["array"] = None
out["bytes"] = qorvan.render(open(box, "rb").read()).hex()
for what, call in [("missing", lambda: qorvan.open(text + ".missing")), ("text", lambda: qorvan.open(text)),
                   ("no slide", lambda: qorvan.open(library).render("NOPE")),
                   ("bad option", lambda: qorvan.open(box).render(style="blurry"))]:
    try:
        call()
        out[what] = None
    except qorvan.Error as e:
        out[what] = [e.status, str(e)]
    except ValueError as e:
        out[what] = ["ValueError", str(e)]
im = Image.open(box)
out["pil_box"] = [im.format, im.mode, list(im.size), im.tobytes().hex()]
im = Image.open(library)
frames = []
for i in range(im.n_frames):
    im.seek(i)
    frames.append([im.tell(), im.info.get("name"), list(im.size), im.tobytes().hex()])
out["pil_frames"] = frames
out["pil_animated"] = im.is_animated
im = Image.open(box)
im.thumbnail((100, 100))
out["pil_thumb"] = list(im.size)
try:
    Image.open(text)
    out["pil_text"] = None
except Exception as e:
    out["pil_text"] = type(e).__name__
print(json.dumps(out))
"""


def test_python(env):
    """The qorvan package and its Pillow plugin, from Debian's Python."""
    if not os.path.exists(os.path.join(env.args.build, "generated", "python", "_libdir.py")):
        return "package built"
    if run(["/usr/bin/python3", "-c", "import PIL"]).returncode != 0:
        return "Pillow for /usr/bin/python3 (python3-pil)"
    sites = glob.glob(os.path.join(env.prefix, "lib", "python3*", "dist-packages", "qorvan", "__init__.py"))
    if not check(len(sites) == 1, "the package is installed under lib/python3.X/dist-packages: %s" % sites):
        return None
    if not c_ready(env):
        return None
    site = os.path.dirname(os.path.dirname(sites[0]))
    check(site in run(["/usr/bin/python3", "-c", "import sys; print(sys.path)"], text=True,
                      env=dict(os.environ, PYTHONPATH="")).stdout or not env.prefix.startswith("/usr/local"),
          "Debian's python3 looks in " + site)
    penv = dict(os.environ, PYTHONPATH=site)
    penv.pop("QORVAN_LIBRARY", None)
    box = os.path.join(env.samples, "box.sld")
    library = os.path.join(env.samples, "samples.slb")
    text = os.path.join(env.work, "notes.txt")
    with open(text, "w") as f:
        f.write("not a slide\n")
    r = run(["/usr/bin/python3", "-c", PYTHON_SCRIPT, box, library, text], env=penv, text=True)
    if not check(r.returncode == 0, "the Python script runs: " + r.stderr[-2000:]):
        return None
    got = json.loads(r.stdout)
    names = run([env.qorvan, "list", library], text=True).stdout.split()
    check(got["list"] == names and got["len"] == len(names) and got["is_library"], "qorvan.list: %s" % got["list"])
    gear = c_picture(env, library, names.index("GEAR"))
    check(bytes.fromhex(got["render"]) == gear[2], "File.render is the C library's picture")
    check(got["info"]["width"] == gear[0] and got["info"]["form"] == "new" and got["info"]["name"] == "GEAR",
          "File.info: %s" % got["info"])
    white = c_picture(env, library, 2, (333, 201), "white", "drawing")
    check(bytes.fromhex(got["render_white"]) == white[2], "File.render with a size and a look")
    if got["array"] is None:
        skipped.append("numpy (python3-numpy)")
    else:
        check(got["array"][:2] == [[gear[1], gear[0], 4], "uint8"] and bytes.fromhex(got["array"][2]) == gear[2],
              "render_array: %s" % got["array"][:2])
    check(bytes.fromhex(got["bytes"]) == c_picture(env, box)[2], "render from bytes")
    check(got["missing"] and got["missing"][0] == 2 and "notes.txt.missing" in got["missing"][1],
          "a missing file: %s" % got["missing"])
    check(got["text"] and got["text"][0] == 3 and "notes.txt" in got["text"][1], "not a slide: %s" % got["text"])
    check(got["no slide"] and got["no slide"][0] == 6, "no such slide: %s" % got["no slide"])
    check(got["bad option"] and got["bad option"][0] == "ValueError", "a bad option: %s" % got["bad option"])
    b = c_picture(env, box)
    check(got["pil_box"][:3] == ["SLD", "RGBA", [b[0], b[1]]] and bytes.fromhex(got["pil_box"][3]) == b[2],
          "Image.open(box.sld): %s" % got["pil_box"][:3])
    check(len(got["pil_frames"]) == len(names) and got["pil_animated"], "n_frames: %d" % len(got["pil_frames"]))
    for i, (tell, name, size, pixels) in enumerate(got["pil_frames"]):
        c = c_picture(env, library, i)
        check(tell == i and name == names[i] and size == [c[0], c[1]] and bytes.fromhex(pixels) == c[2],
              "frame %d of the library: %s %s %s" % (i, tell, name, size))
    check(got["pil_thumb"] == [100, 75], "Image.thumbnail draws small: %s" % got["pil_thumb"])
    check(got["pil_text"] == "UnidentifiedImageError", "Image.open of a text file: %s" % got["pil_text"])
    print("python: package and Pillow plugin checked")
    return None


def test_eog(env):
    """The GNOME image viewer shows a real slide under Xvfb; the screen is
    kept in QORVAN_SCREENSHOT_DIR, when set, for a person to look at."""
    tools = [t for t in ("Xvfb", "eog", "dbus-run-session", "xwdtopnm") if not shutil.which(t)]
    if tools:
        return ", ".join(tools)
    if not os.path.exists(os.path.join(env.work, "loaders.cache")):
        return "gdk-pixbuf loader to show it with"
    # A real slide in red and white on black: the red of its sign must
    # reach the screen, which nothing of the viewer's own draws.
    slide = next((p for p in env.real_slides() if os.path.basename(p) == "SIGN_R3-2.sld"), None)
    if not slide:
        return "real slide SIGN_R3-2.sld in the test data"
    fbdir = os.path.join(env.work, "screen")
    os.makedirs(fbdir)
    display = ":%d" % (90 + os.getpid() % 500)
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1024x768x24", "-fbdir", fbdir, "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    viewer = None
    try:
        time.sleep(1.5)
        penv = dict(os.environ, DISPLAY=display, GDK_PIXBUF_MODULE_FILE=os.path.join(env.work, "loaders.cache"),
                    XDG_DATA_HOME=mime_home(env), GDK_BACKEND="x11", NO_AT_BRIDGE="1",
                    XDG_CONFIG_HOME=os.path.join(env.work, "config"), XDG_CACHE_HOME=os.path.join(env.work, "cache"))
        # A session of its own, so that ending it ends the bus daemon too.
        viewer = subprocess.Popen(["dbus-run-session", "--", "eog", "--new-instance", slide], env=penv,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        screen = None
        for _ in range(30):
            time.sleep(1)
            pnm = run(["xwdtopnm", os.path.join(fbdir, "Xvfb_screen0")]).stdout
            if pnm:
                w, h, depth, pixels = read_pam(pnm)
                red = sum(1 for i in range(0, len(pixels), 3)
                          if pixels[i] > 200 and pixels[i + 1] < 60 and pixels[i + 2] < 60)
                if red > 2000:
                    screen = pnm
                    break
        keep = os.environ.get("QORVAN_SCREENSHOT_DIR")
        if keep and screen:
            os.makedirs(keep, exist_ok=True)
            with open(os.path.join(keep, "eog.png"), "wb") as f:
                f.write(run(["pnmtopng"], input=screen).stdout)
        check(screen is not None, "eog drew %s on the screen" % os.path.basename(slide))
    finally:
        if viewer:
            for sig in (signal.SIGTERM, signal.SIGKILL):
                try:
                    os.killpg(viewer.pid, sig)
                    viewer.wait(10)
                    break
                except (ProcessLookupError, subprocess.TimeoutExpired):
                    pass
            time.sleep(0.5)
            # The daemon outlives dbus-run-session by a moment; nothing of the group may stay.
            try:
                os.killpg(viewer.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        xvfb.terminate()
        xvfb.wait(10)
    print("eog: showed " + slide)
    return None


CONSUMERS = [("c", test_c), ("magic", test_magic), ("gdk-pixbuf", test_gdk_pixbuf),
             ("qt6", lambda env: test_qt(env, 6)), ("qt5", lambda env: test_qt(env, 5)), ("python", test_python),
             ("eog", test_eog)]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", required=True)
    ap.add_argument("--source", required=True)
    ap.add_argument("--testdata", default="")
    ap.add_argument("--only", nargs="*", default=[])
    args = ap.parse_args()
    if os.environ.get("QORVAN_TESTDATA"):
        args.testdata = os.environ["QORVAN_TESTDATA"]
    work = tempfile.mkdtemp(prefix="qorvan-consumers-")
    try:
        r = run(["cmake", "--install", args.build, "--prefix", os.path.join(work, "prefix")], text=True)
        if r.returncode != 0:
            print(r.stdout + r.stderr)
            return 1
        env = Env(args, work)
        if not env.libdir or not os.path.exists(env.qorvan):
            print("libqorvan or qorvan was not built: nothing to test")
            return SKIP
        for name, test in CONSUMERS:
            if args.only and name not in args.only:
                continue
            missing = test(env)
            if missing:
                skipped.append("%s (no %s)" % (name, missing))
            else:
                ran.append(name)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for s in skipped:
        print("left out: " + s)
    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    if not ran:
        return SKIP
    print("all checks passed: " + ", ".join(ran))
    return 0


if __name__ == "__main__":
    sys.exit(main())
