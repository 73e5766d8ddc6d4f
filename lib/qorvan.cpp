// libqorvan: the C face of the store and slide code. Everything here
// translates: C arguments to the slide code's types, its results to a
// status and a message, and any exception to a status, since a C caller
// has no way to catch one.
#include "qorvan/qorvan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "platform/path.h"
#include "qorvan_version.h"
#include "slide/cairo_surface.h"
#include "slide/offscreen_window.h"
#include "slide/picture_output.h"
#include "slide/png.h"
#include "slide/raster_surface.h"
#include "slide/slide_source.h"
#include "store/status.h"
#include "store/whole_file.h"

using namespace qorvan;
using namespace qorvan::slide;

struct qorvan_file {
    std::string label; // how messages name the file
    std::vector<std::uint8_t> bytes;
    bool library = false;
    struct Entry {
        std::string name;
        std::int64_t offset = 0;
        std::int64_t size = 0;
    };
    std::vector<Entry> slides;
};

namespace {

thread_local std::string lastError;

qorvan_status fail(qorvan_status status, std::string message)
{
    lastError = std::move(message);
    return status;
}

// The system's own message for a status code, after the file it concerns.
qorvan_status failWith(
    qorvan_status status, StatusCode code, const std::string& label, const char* slide = nullptr)
{
    setStatus(code, label.c_str(), slide);
    const std::string text = statusMessage();
    // CannotOpen, SlideNotFound and EmptyLibrary name the file themselves.
    if (code == CannotOpen || code == SlideNotFound || code == EmptyLibrary) return fail(status, text);
    return fail(status, label + ": " + text);
}

// Runs body, turning what it throws into a status.
template <typename Body> qorvan_status guarded(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return fail(QORVAN_ERROR_MEMORY, "not enough memory");
    } catch (const std::exception& e) {
        return fail(QORVAN_ERROR_INTERNAL, std::string("internal error: ") + e.what());
    } catch (...) {
        return fail(QORVAN_ERROR_INTERNAL, "internal error");
    }
}

std::string baseName(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

qorvan_status adopt(qorvan_file& f, std::string slideName, qorvan_file** out)
{
    if (isLibraryFile(f.bytes)) {
        f.library = true;
        for (const ScannedEntry& e : scanLibrary(f.bytes).entries)
            f.slides.push_back({ e.name, e.offset, e.size });
    } else if (startsLikeSlide(f.bytes)) {
        f.slides.push_back({ std::move(slideName), 0, static_cast<std::int64_t>(f.bytes.size()) });
    } else {
        return fail(QORVAN_ERROR_FORMAT, f.label + ": neither a slide nor a slide library");
    }
    *out = new qorvan_file(std::move(f));
    return QORVAN_OK;
}

const qorvan_file::Entry* entryOf(const qorvan_file* f, std::size_t index, qorvan_status& status)
{
    if (!f) {
        status = fail(QORVAN_ERROR_ARGUMENT, "no file given");
        return nullptr;
    }
    if (index >= f->slides.size()) {
        status = f->slides.empty() ? failWith(QORVAN_ERROR_EMPTY, EmptyLibrary, f->label)
                                   : fail(QORVAN_ERROR_ARGUMENT,
                                       f->label + ": no slide " + std::to_string(index) + " (it holds "
                                           + std::to_string(f->slides.size()) + ")");
        return nullptr;
    }
    status = QORVAN_OK;
    return &f->slides[index];
}

LoadedSlide loaded(const qorvan_file& f, const qorvan_file::Entry& e)
{
    const std::string label = f.library ? f.label + "(" + e.name + ")" : f.label;
    if (!f.library) {
        LoadedSlide s;
        s.label = label;
        s.bytes = f.bytes;
        s.order = detectByteOrder(s.bytes.data(), s.bytes.size());
        return s;
    }
    return sliceSlide(f.bytes, e.offset, e.size, label);
}

PictureChoices choicesOf(const qorvan_render_options* o, qorvan_status& status)
{
    qorvan_render_options given;
    qorvan_render_options_init(&given);
    if (o) {
        // Only the fields the caller's structure holds.
        const std::size_t known = std::min<std::size_t>(o->struct_size, sizeof given);
        if (known < sizeof(std::uint32_t)) {
            status = fail(QORVAN_ERROR_ARGUMENT, "render options without their struct_size");
            return {};
        }
        std::memcpy(&given, o, known);
    }
    status = QORVAN_OK;
    PictureChoices c;
    auto pick = [&status](int value, int count, const char* what) {
        if (value < 0 || value >= count)
            status = fail(QORVAN_ERROR_ARGUMENT,
                std::string("render options: ") + what + " " + std::to_string(value)
                    + " is not one of the QORVAN_ values");
        return value;
    };
    c.style = pick(given.style, 2, "style") == QORVAN_STYLE_SMOOTH ? Style::Smooth : Style::Exact;
    const int bg = pick(given.background, 3, "background");
    c.background = bg == QORVAN_BACKGROUND_WHITE ? Background::White
        : bg == QORVAN_BACKGROUND_NONE           ? Background::None
                                                 : Background::Black;
    const int c7 = pick(given.colour7, 3, "colour7");
    c.colour7 = c7 == QORVAN_COLOUR7_WHITE ? Colour7::White
        : c7 == QORVAN_COLOUR7_BLACK       ? Colour7::Black
                                           : Colour7::Auto;
    c.fit = pick(given.fit, 2, "fit") == QORVAN_FIT_DRAWING ? Fit::Drawing : Fit::Slide;
    return c;
}

void copyRaster(const RasterSurface& s, std::uint8_t* rgba, std::size_t stride)
{
    for (int y = 0; y < s.height(); ++y) {
        std::uint8_t* out = rgba + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < s.width(); ++x, out += 4) {
            const ColorRef c = s.pixel(x, y);
            // Only the cleared background lies outside the 24 colour bits.
            const bool clear = c == TRANSPARENT_BACKGROUND;
            out[0] = clear ? 0 : static_cast<std::uint8_t>(redOf(c));
            out[1] = clear ? 0 : static_cast<std::uint8_t>(greenOf(c));
            out[2] = clear ? 0 : static_cast<std::uint8_t>(blueOf(c));
            out[3] = clear ? 0 : 255;
        }
    }
}

} // namespace

extern "C" {

const char* qorvan_version(void)
{
    return QORVAN_VERSION;
}

const char* qorvan_last_error(void)
{
    return lastError.c_str();
}

qorvan_status qorvan_open_path(const char* path, qorvan_file** out)
{
    return guarded([&] {
        if (out) *out = nullptr;
        if (!path || !out) return fail(QORVAN_ERROR_ARGUMENT, "qorvan_open_path: no path or no result given");
        qorvan_file f;
        f.label = path;
        if (!readWholeFile(path, f.bytes)) return fail(QORVAN_ERROR_OPEN, readFailure(path));
        return adopt(f, baseName(path), out);
    });
}

qorvan_status qorvan_open_memory(const void* data, std::size_t size, const char* name, qorvan_file** out)
{
    return guarded([&] {
        if (out) *out = nullptr;
        if ((!data && size) || !out)
            return fail(QORVAN_ERROR_ARGUMENT, "qorvan_open_memory: no data or no result given");
        qorvan_file f;
        f.label = name ? name : "(memory)";
        const auto* p = static_cast<const std::uint8_t*>(data);
        f.bytes.assign(p, p + size);
        return adopt(f, name ? baseName(name) : std::string(), out);
    });
}

void qorvan_close(qorvan_file* file)
{
    delete file;
}

int qorvan_is_library(const qorvan_file* file)
{
    return file && file->library ? 1 : 0;
}

std::size_t qorvan_slide_count(const qorvan_file* file)
{
    return file ? file->slides.size() : 0;
}

const char* qorvan_slide_name(const qorvan_file* file, std::size_t index)
{
    if (!file || index >= file->slides.size()) return nullptr;
    return file->slides[index].name.c_str();
}

qorvan_status qorvan_find_slide(const qorvan_file* file, const char* name, std::size_t* index)
{
    return guarded([&] {
        if (!file || !name || !index)
            return fail(QORVAN_ERROR_ARGUMENT, "qorvan_find_slide: an argument is null");
        const std::string wanted = platform::toUpperAscii(name);
        for (std::size_t i = 0; i < file->slides.size(); ++i)
            if (platform::toUpperAscii(file->slides[i].name) == wanted) {
                *index = i;
                return QORVAN_OK;
            }
        if (!file->library)
            return fail(
                QORVAN_ERROR_NOT_FOUND, file->label + ": a slide file, not a library holding " + name);
        return failWith(QORVAN_ERROR_NOT_FOUND, SlideNotFound, file->label, wanted.c_str());
    });
}

qorvan_status qorvan_slide_info_get(const qorvan_file* file, std::size_t index, qorvan_slide_info* info)
{
    return guarded([&] {
        if (!info || info->struct_size < sizeof(std::uint32_t))
            return fail(QORVAN_ERROR_ARGUMENT, "qorvan_slide_info_get: no info, or no struct_size in it");
        qorvan_status status;
        const qorvan_file::Entry* e = entryOf(file, index, status);
        if (!e) return status;
        const LoadedSlide s = loaded(*file, *e);
        const HeaderFields h = readHeaderFields(s.bytes.data(), s.bytes.size(), s.order.order);
        qorvan_slide_info r {};
        r.struct_size = info->struct_size;
        r.form = !h.complete ? 0 : h.oldForm ? QORVAN_FORM_OLD : QORVAN_FORM_NEW;
        r.byte_order = s.order.order == ByteOrder::Big ? QORVAN_ORDER_BIG : QORVAN_ORDER_LITTLE;
        r.byte_order_guessed = s.order.evidence == OrderEvidence::Plausibility ? 1 : 0;
        r.level = h.level;
        r.x_dots = h.xDots;
        r.y_dots = h.yDots;
        slideSize(s, r.width, r.height);
        r.aspect = h.aspect;
        r.fills = h.fillFlag == FILL_FLAG_FILLS ? 1 : 0;
        // Judged as the viewer judges it: on the header read little-endian.
        std::vector<std::uint8_t> header;
        const bool oldForm = selectsOldForm(s.bytes.data(), s.bytes.size());
        if (s.order.order == ByteOrder::Big
            && encodeSlideHeader(
                s.bytes.data(), s.bytes.size(), ByteOrder::Big, ByteOrder::Little, SlideForm::Keep, header)) {
            r.header = headerStatus(slideHeaderFaults(header.data(), header.size(), oldForm), oldForm);
        } else {
            r.header = headerStatus(slideHeaderFaults(s.bytes.data(), s.bytes.size(), oldForm), oldForm);
        }
        r.offset = static_cast<std::uint64_t>(std::max<std::int64_t>(0, e->offset));
        r.size = s.bytes.size();
        std::memcpy(info, &r, std::min<std::size_t>(info->struct_size, sizeof r));
        return QORVAN_OK;
    });
}

void qorvan_render_options_init(qorvan_render_options* options)
{
    if (!options) return;
    *options = {};
    options->struct_size = sizeof *options;
    options->style = QORVAN_STYLE_EXACT;
    options->background = QORVAN_BACKGROUND_BLACK;
    options->colour7 = QORVAN_COLOUR7_AUTO;
    options->fit = QORVAN_FIT_SLIDE;
}

qorvan_status qorvan_render(const qorvan_file* file, std::size_t index, const qorvan_render_options* options,
    int width, int height, void* rgba, std::size_t stride)
{
    return guarded([&] {
        qorvan_status status;
        const qorvan_file::Entry* e = entryOf(file, index, status);
        if (!e) return status;
        const PictureChoices choices = choicesOf(options, status);
        if (status != QORVAN_OK) return status;
        if (!rgba) return fail(QORVAN_ERROR_ARGUMENT, "qorvan_render: no buffer given");
        if (width <= 0 || height <= 0 || stride / 4 < static_cast<std::size_t>(width))
            return fail(QORVAN_ERROR_ARGUMENT,
                "qorvan_render: a picture of " + std::to_string(width) + " x " + std::to_string(height)
                    + " pixels needs a positive size and rows of at least 4 x width bytes");
        if (!RasterSurface::sizeAllowed(width, height))
            return fail(QORVAN_ERROR_MEMORY,
                "qorvan_render: " + std::to_string(width) + " x " + std::to_string(height)
                    + " pixels is larger than a picture can be");
        const LoadedSlide s = loaded(*file, *e);
        std::vector<std::uint8_t> copy;
        const std::vector<std::uint8_t>& bytes = rendererBytes(s, copy);
        const PictureLook look = pictureLook(bytes, width, height, choices);
        const ColorRef bg = backgroundColour(choices.background);
        auto* out = static_cast<std::uint8_t*>(rgba);
        StatusCode header = Ok;
        if (choices.style == Style::Smooth) {
            CairoSurface surface(width, height, bg, CairoSurface::Output::Png);
            if (!surface.valid()) return fail(QORVAN_ERROR_MEMORY, "not enough memory for the picture");
            header = drawSlideBytes(surface, nullptr, bytes.data(), bytes.size(), look);
            if (!surface.finishPixels(out, stride))
                return fail(QORVAN_ERROR_MEMORY, "not enough memory for the picture");
        } else {
            // The window the viewer draws in, so that the pixels are the viewer's.
            OffscreenWindow window(width, height, bg);
            if (!window.surface().valid())
                return fail(QORVAN_ERROR_MEMORY, "not enough memory for the picture");
            window.InvalidateAndUpdate();
            Surface* surface = window.GetSurface();
            header = drawSlideBytes(*surface, &window, bytes.data(), bytes.size(), look);
            window.ReleaseSurface(surface);
            copyRaster(window.surface(), out, stride);
        }
        if (header == InvalidSlide) return failWith(QORVAN_ERROR_SLIDE, InvalidSlide, s.label);
        return QORVAN_OK;
    });
}

qorvan_status qorvan_fit_size(
    const qorvan_file* file, std::size_t index, int max_width, int max_height, int* width, int* height)
{
    return guarded([&] {
        if (!width || !height || max_width < 0 || max_height < 0)
            return fail(QORVAN_ERROR_ARGUMENT, "qorvan_fit_size: no result given, or a negative bound");
        qorvan_status status;
        const qorvan_file::Entry* e = entryOf(file, index, status);
        if (!e) return status;
        int w = 0, h = 0;
        slideSize(loaded(*file, *e), w, h);
        if (max_width == 0 && max_height == 0) {
            *width = w;
            *height = h;
            return QORVAN_OK;
        }
        const double sx = max_width ? static_cast<double>(max_width) / w : HUGE_VAL;
        const double sy = max_height ? static_cast<double>(max_height) / h : HUGE_VAL;
        const double scale = std::min(sx, sy);
        *width = std::clamp(
            static_cast<int>(std::lround(w * scale)), 1, max_width ? max_width : RASTER_MAX_SIDE);
        *height = std::clamp(
            static_cast<int>(std::lround(h * scale)), 1, max_height ? max_height : RASTER_MAX_SIDE);
        return QORVAN_OK;
    });
}

} // extern "C"
