"""AutoCAD slides (.sld) and slide libraries (.slb) in Python.

    import qorvan
    with qorvan.open("parts.slb") as lib:
        print(lib.names())                       # the library's slides, in order
        png_ready = lib.render("BOX", size=(320, 240), background="white")   # RGBA bytes
    qorvan.list("parts.slb")                     # the names, without keeping the file open

Importing qorvan registers a Pillow plugin when Pillow is installed, so that
Image.open("x.sld") and Image.open("lib.slb") work (a library's slides are
its frames). Both header forms and both byte orders are read.
"""
import ctypes
import os as _os
from collections import namedtuple

from . import _capi

__all__ = ["Error", "File", "Info", "open", "list", "render", "version"]


class Error(Exception):
    """A failure of the library: .status is its code, str() its message."""

    def __init__(self, status, message):
        super().__init__(message)
        self.status = status


Info = namedtuple("Info", "name form byte_order byte_order_guessed level x_dots y_dots width height aspect "
                          "fills header offset size")
_FORMS = {0: None, 1: "old", 2: "new"}
_ORDERS = {0: "little", 1: "big"}
_HEADERS = {0: "ok", 2: "mismatch", 3: "invalid"}


def _check(status):
    if status != _capi.OK:
        raise Error(status, _capi.lib.qorvan_last_error().decode("utf-8", "replace"))


def _choice(table, value, what):
    try:
        return table[value]
    except KeyError:
        raise ValueError("%s must be one of %s, not %r" % (what, ", ".join(table), value)) from None


def version():
    """The Qorvan release the C library comes from."""
    return _capi.lib.qorvan_version().decode()


class File:
    """An open slide (one slide) or slide library (its slides in order)."""

    def __init__(self, source, name=None):
        self._handle = None
        handle = _capi.File()
        if isinstance(source, (bytes, bytearray, memoryview)):
            data = bytes(source)
            label = (name or "(memory)").encode("utf-8", "surrogateescape")
            _check(_capi.lib.qorvan_open_memory(data, len(data), label, ctypes.byref(handle)))
        else:
            _check(_capi.lib.qorvan_open_path(_os.fsencode(source), ctypes.byref(handle)))
        self._handle = handle

    def close(self):
        if self._handle:
            _capi.lib.qorvan_close(self._handle)
            self._handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        self.close()

    def _open_handle(self):
        if not self._handle:
            raise ValueError("the file is closed")
        return self._handle

    @property
    def is_library(self):
        return bool(_capi.lib.qorvan_is_library(self._open_handle()))

    def __len__(self):
        return _capi.lib.qorvan_slide_count(self._open_handle())

    def names(self):
        """The slides' names in order (a slide file's own name without extension)."""
        h = self._open_handle()
        return [_capi.lib.qorvan_slide_name(h, i).decode("latin-1") for i in range(len(self))]

    def index(self, slide):
        """The index of slide, given as an index or a name (any case)."""
        if isinstance(slide, int):
            if not 0 <= slide < len(self):
                raise IndexError("slide %d of %d" % (slide, len(self)))
            return slide
        found = ctypes.c_size_t()
        _check(_capi.lib.qorvan_find_slide(self._open_handle(), slide.encode("latin-1"), ctypes.byref(found)))
        return found.value

    def info(self, slide=0):
        """What the slide's header says, and where it lies in the file."""
        i = self.index(slide)
        s = _capi.SlideInfo()
        s.struct_size = ctypes.sizeof(s)
        _check(_capi.lib.qorvan_slide_info_get(self._open_handle(), i, ctypes.byref(s)))
        return Info(_capi.lib.qorvan_slide_name(self._handle, i).decode("latin-1"), _FORMS.get(s.form),
                    _ORDERS[s.byte_order], bool(s.byte_order_guessed), s.level, s.x_dots, s.y_dots, s.width,
                    s.height, s.aspect, bool(s.fills), _HEADERS.get(s.header, s.header), s.offset, s.size)

    def fit_size(self, slide=0, width=0, height=0):
        """The largest size of the slide's proportions within width x height (0: unbounded)."""
        w, h = ctypes.c_int(), ctypes.c_int()
        _check(_capi.lib.qorvan_fit_size(self._open_handle(), self.index(slide), int(width), int(height), ctypes.byref(w),
                                         ctypes.byref(h)))
        return w.value, h.value

    def _draw(self, slide, size, style, background, colour7, fit, buffer):
        o = _capi.RenderOptions()
        _capi.lib.qorvan_render_options_init(ctypes.byref(o))
        o.style = _choice(_capi.STYLES, style, "style")
        o.background = _choice(_capi.BACKGROUNDS, background, "background")
        o.colour7 = _choice(_capi.COLOUR7, colour7, "colour7")
        o.fit = _choice(_capi.FITS, fit, "fit")
        i = self.index(slide)
        w, h = size if size else self.fit_size(i)
        out = buffer(w, h)
        _check(_capi.lib.qorvan_render(self._open_handle(), i, ctypes.byref(o), w, h, out[1], w * 4))
        return out[0]

    def render(self, slide=0, size=None, style="exact", background="black", colour7="auto", fit="slide"):
        """The slide drawn as RGBA bytes (alpha not premultiplied), rows top
        first; size (width, height) defaults to the slide's own. style is
        exact or smooth, background black, white or none, colour7 auto,
        white or black, fit slide or drawing."""
        def buffer(w, h):
            b = ctypes.create_string_buffer(w * h * 4)
            return b, b

        return self._draw(slide, size, style, background, colour7, fit, buffer).raw

    def render_array(self, slide=0, size=None, **look):
        """As render, as a numpy array of shape (height, width, 4), uint8."""
        import numpy

        def buffer(w, h):
            a = numpy.zeros((h, w, 4), dtype=numpy.uint8)
            return a, a.ctypes.data_as(ctypes.c_void_p)

        return self._draw(slide, size, look.get("style", "exact"), look.get("background", "black"),
                          look.get("colour7", "auto"), look.get("fit", "slide"), buffer)


def open(source, name=None):
    """A slide or library from a path, or from bytes (name says how messages name them)."""
    return File(source, name)


def list(source):
    """The names of the slides a library (or slide file) holds, in order."""
    with File(source) as f:
        return f.names()


def render(source, slide=0, **options):
    """One slide of a file drawn as RGBA bytes; see File.render."""
    with File(source) as f:
        return f.render(slide, **options)


try:
    from . import pillow as _pillow  # noqa: F401  registers the plugin
except ImportError:
    pass
