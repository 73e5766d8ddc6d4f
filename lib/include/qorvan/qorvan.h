/* libqorvan: AutoCAD slides (.sld) and slide libraries (.slb) for any
 * program, in plain C.
 *
 * A qorvan_file is a slide or a library opened from a path or from memory.
 * Its slides are numbered from 0 (a slide file holds one); each can be
 * described and drawn into the caller's RGBA buffer at any size.
 *
 * Every function that can fail returns a qorvan_status; on failure
 * qorvan_last_error() tells why in words that name the file. Nothing is
 * thrown or aborted across this interface. An open file is never changed
 * after qorvan_open_*, so one may be drawn from several threads at once;
 * the last error is kept per thread.
 *
 * Structures the caller fills begin with struct_size, set to sizeof the
 * structure the caller was built with: a newer library reads no further,
 * and an older one ignores what it does not know. */
#ifndef QORVAN_QORVAN_H
#define QORVAN_QORVAN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define QORVAN_API __attribute__((visibility("default")))
#else
#define QORVAN_API
#endif

/* The interface's version, the soname's number: raised only when a
 * program built against an older header could no longer run. */
#define QORVAN_ABI_VERSION 1

typedef enum qorvan_status {
    QORVAN_OK = 0,
    QORVAN_ERROR_ARGUMENT = 1, /* a null pointer, a size or index out of range */
    QORVAN_ERROR_OPEN = 2, /* the file could not be opened or read */
    QORVAN_ERROR_FORMAT = 3, /* neither a slide nor a slide library */
    QORVAN_ERROR_SLIDE = 4, /* the slide's header is not one that can be drawn */
    QORVAN_ERROR_EMPTY = 5, /* a library without slides */
    QORVAN_ERROR_NOT_FOUND = 6, /* no slide of that name */
    QORVAN_ERROR_MEMORY = 7, /* not enough memory, or a picture too large */
    QORVAN_ERROR_INTERNAL = 8 /* a fault of the library itself */
} qorvan_status;

typedef struct qorvan_file qorvan_file;

/* The release of Qorvan the library comes from, "1.5.0" say. */
QORVAN_API const char* qorvan_version(void);

/* Why the last call that failed in this thread failed, e.g.
 * "parts.slb: Slide library invalid."; "" before any failure. Valid until
 * the next failing call in the thread. */
QORVAN_API const char* qorvan_last_error(void);

/* Opens the slide or library at path (read whole; the file is not kept
 * open). A file holding the library header is a library, one starting with
 * the slide signature a slide. */
QORVAN_API qorvan_status qorvan_open_path(const char* path, qorvan_file** out);

/* The same over size bytes at data, which are copied. name is how messages
 * name it (may be NULL). */
QORVAN_API qorvan_status qorvan_open_memory(
    const void* data, size_t size, const char* name, qorvan_file** out);

/* Closes file; NULL is allowed. */
QORVAN_API void qorvan_close(qorvan_file* file);

/* 1 for a library, 0 for a slide (and for NULL). */
QORVAN_API int qorvan_is_library(const qorvan_file* file);

/* The number of slides: 1 for a slide, the directory's entries for a
 * library (0 for NULL). */
QORVAN_API size_t qorvan_slide_count(const qorvan_file* file);

/* The name of slide index: the library entry's name, or for a slide file
 * its file name without the extension ("" from memory). NULL when index is
 * out of range. Valid while file is open. */
QORVAN_API const char* qorvan_slide_name(const qorvan_file* file, size_t index);

/* The index of the slide called name (compared without regard to case). */
QORVAN_API qorvan_status qorvan_find_slide(const qorvan_file* file, const char* name, size_t* index);

enum {
    QORVAN_FORM_OLD = 1, /* the 34-byte header of level 1 */
    QORVAN_FORM_NEW = 2 /* the 31-byte header with a byte-order word */
};
enum { QORVAN_ORDER_LITTLE = 0, QORVAN_ORDER_BIG = 1 };
enum {
    QORVAN_HEADER_OK = 0,
    QORVAN_HEADER_MISMATCH = 2, /* drawn, though made for a different display */
    QORVAN_HEADER_INVALID = 3 /* not drawn */
};

typedef struct qorvan_slide_info {
    uint32_t struct_size;
    int form; /* QORVAN_FORM_*; 0 when the header is cut short */
    int byte_order; /* QORVAN_ORDER_* */
    int byte_order_guessed; /* 1: read from the drawing, the header does not say */
    int level; /* the header's level byte */
    int x_dots, y_dots; /* the screen's extent the slide was made on */
    int width, height; /* its picture's own size: the extent plus one, or 640 x 480 */
    double aspect; /* the display ratio */
    int fills; /* 1 when the header says the slide may hold fills */
    int header; /* QORVAN_HEADER_* */
    uint64_t offset; /* where the slide starts in its file */
    uint64_t size; /* its bytes */
} qorvan_slide_info;

/* Fills info (its struct_size set by the caller) for slide index. */
QORVAN_API qorvan_status qorvan_slide_info_get(
    const qorvan_file* file, size_t index, qorvan_slide_info* info);

enum {
    QORVAN_STYLE_EXACT = 0, /* one-pixel lines, as the viewer draws */
    QORVAN_STYLE_SMOOTH = 1 /* antialiased */
};
enum {
    QORVAN_BACKGROUND_BLACK = 0,
    QORVAN_BACKGROUND_WHITE = 1,
    QORVAN_BACKGROUND_NONE = 2 /* transparent */
};
enum {
    QORVAN_COLOUR7_AUTO = 0, /* white on black and on none, black on white */
    QORVAN_COLOUR7_WHITE = 1,
    QORVAN_COLOUR7_BLACK = 2
};
enum {
    QORVAN_FIT_SLIDE = 0, /* the slide's whole area fills the picture */
    QORVAN_FIT_DRAWING = 1 /* what the slide draws fills it, with a margin */
};

typedef struct qorvan_render_options {
    uint32_t struct_size;
    int style; /* QORVAN_STYLE_* */
    int background; /* QORVAN_BACKGROUND_* */
    int colour7; /* QORVAN_COLOUR7_* */
    int fit; /* QORVAN_FIT_* */
} qorvan_render_options;

/* The defaults: exact, on black, colour 7 white, the slide's area. */
QORVAN_API void qorvan_render_options_init(qorvan_render_options* options);

/* Draws slide index into rgba, width x height pixels of four bytes each
 * (red, green, blue, alpha; alpha not premultiplied), rows stride bytes
 * apart, top row first. options may be NULL for the defaults. Sides are at
 * most 16384 and the picture at most 2^26 pixels. A slide whose header is
 * invalid leaves the background and gives QORVAN_ERROR_SLIDE; one made for
 * a different display is drawn. */
QORVAN_API qorvan_status qorvan_render(const qorvan_file* file, size_t index,
    const qorvan_render_options* options, int width, int height, void* rgba, size_t stride);

/* The largest size of slide index's own proportions that fits in
 * max_width x max_height (either 0: no bound on that side). */
QORVAN_API qorvan_status qorvan_fit_size(
    const qorvan_file* file, size_t index, int max_width, int max_height, int* width, int* height);

#ifdef __cplusplus
}
#endif

#endif
