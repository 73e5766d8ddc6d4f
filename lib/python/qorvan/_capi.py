"""The C library's interface as ctypes sees it: one place for its names,
structures and constants, kept as include/qorvan/qorvan.h has them."""
import ctypes
import os

OK = 0
ERROR_ARGUMENT = 1
ERROR_OPEN = 2
ERROR_FORMAT = 3
ERROR_SLIDE = 4
ERROR_EMPTY = 5
ERROR_NOT_FOUND = 6
ERROR_MEMORY = 7
ERROR_INTERNAL = 8

STYLES = {"exact": 0, "smooth": 1}
BACKGROUNDS = {"black": 0, "white": 1, "none": 2}
COLOUR7 = {"auto": 0, "white": 1, "black": 2}
FITS = {"slide": 0, "drawing": 1}


class SlideInfo(ctypes.Structure):
    _fields_ = [
        ("struct_size", ctypes.c_uint32),
        ("form", ctypes.c_int),
        ("byte_order", ctypes.c_int),
        ("byte_order_guessed", ctypes.c_int),
        ("level", ctypes.c_int),
        ("x_dots", ctypes.c_int),
        ("y_dots", ctypes.c_int),
        ("width", ctypes.c_int),
        ("height", ctypes.c_int),
        ("aspect", ctypes.c_double),
        ("fills", ctypes.c_int),
        ("header", ctypes.c_int),
        ("offset", ctypes.c_uint64),
        ("size", ctypes.c_uint64),
    ]


class RenderOptions(ctypes.Structure):
    _fields_ = [
        ("struct_size", ctypes.c_uint32),
        ("style", ctypes.c_int),
        ("background", ctypes.c_int),
        ("colour7", ctypes.c_int),
        ("fit", ctypes.c_int),
    ]


def _candidates():
    # QORVAN_LIBRARY names the library outright (the build tree's, say);
    # else the one installed beside this package under the same prefix
    # (written by the build as _libdir.py); else the system's.
    named = os.environ.get("QORVAN_LIBRARY")
    if named:
        yield named
        return
    try:
        from ._libdir import LIBDIR_FROM_PACKAGE
        here = os.path.dirname(os.path.abspath(__file__))
        yield os.path.normpath(os.path.join(here, LIBDIR_FROM_PACKAGE, "libqorvan.so.1"))
    except ImportError:
        pass
    yield "libqorvan.so.1"


def _load():
    errors = []
    for path in _candidates():
        try:
            return ctypes.CDLL(path)
        except OSError as e:
            errors.append(str(e))
    raise ImportError("libqorvan.so.1 could not be loaded: " + "; ".join(errors))


lib = _load()
File = ctypes.c_void_p
lib.qorvan_version.restype = ctypes.c_char_p
lib.qorvan_version.argtypes = []
lib.qorvan_last_error.restype = ctypes.c_char_p
lib.qorvan_last_error.argtypes = []
lib.qorvan_open_path.restype = ctypes.c_int
lib.qorvan_open_path.argtypes = [ctypes.c_char_p, ctypes.POINTER(File)]
lib.qorvan_open_memory.restype = ctypes.c_int
lib.qorvan_open_memory.argtypes = [ctypes.c_char_p, ctypes.c_size_t, ctypes.c_char_p, ctypes.POINTER(File)]
lib.qorvan_close.restype = None
lib.qorvan_close.argtypes = [File]
lib.qorvan_is_library.restype = ctypes.c_int
lib.qorvan_is_library.argtypes = [File]
lib.qorvan_slide_count.restype = ctypes.c_size_t
lib.qorvan_slide_count.argtypes = [File]
lib.qorvan_slide_name.restype = ctypes.c_char_p
lib.qorvan_slide_name.argtypes = [File, ctypes.c_size_t]
lib.qorvan_find_slide.restype = ctypes.c_int
lib.qorvan_find_slide.argtypes = [File, ctypes.c_char_p, ctypes.POINTER(ctypes.c_size_t)]
lib.qorvan_slide_info_get.restype = ctypes.c_int
lib.qorvan_slide_info_get.argtypes = [File, ctypes.c_size_t, ctypes.POINTER(SlideInfo)]
lib.qorvan_render_options_init.restype = None
lib.qorvan_render_options_init.argtypes = [ctypes.POINTER(RenderOptions)]
lib.qorvan_render.restype = ctypes.c_int
lib.qorvan_render.argtypes = [File, ctypes.c_size_t, ctypes.POINTER(RenderOptions), ctypes.c_int, ctypes.c_int,
                              ctypes.c_void_p, ctypes.c_size_t]
lib.qorvan_fit_size.restype = ctypes.c_int
lib.qorvan_fit_size.argtypes = [File, ctypes.c_size_t, ctypes.c_int, ctypes.c_int, ctypes.POINTER(ctypes.c_int),
                                ctypes.POINTER(ctypes.c_int)]
