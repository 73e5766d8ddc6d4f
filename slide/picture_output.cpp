#include "slide/picture_output.h"

#include <algorithm>

#include "platform/resolve.h"
#include "platform/save_file.h"
#include "slide/drawn_box.h"
#include "slide/dxf_writer.h"
#include "slide/offscreen_window.h"
#include "slide/png.h"
#include "slide/raster_surface.h"
#include "slide/smooth_loader.h"
#include "slide/svg_surface.h"

namespace qorvan::slide {

namespace {

    // Colours 7 and 0 trade places together: a slide drawn for a light
    // background has black lines and white masks.
    bool darkInk(const PictureChoices& c)
    {
        return c.colour7 == Colour7::Black
            || (c.colour7 == Colour7::Auto && c.background == Background::White);
    }

} // namespace

ColorRef backgroundColour(Background b)
{
    switch (b) {
    case Background::White:
        return rgb(255, 255, 255);
    case Background::None:
        return TRANSPARENT_BACKGROUND;
    case Background::Black:
        break;
    }
    return rgb(0, 0, 0);
}

void slideSize(const LoadedSlide& s, int& width, int& height)
{
    HeaderFields h = readHeaderFields(s.bytes.data(), s.bytes.size(), s.order.order);
    if (!h.complete || h.xDots <= 0 || h.yDots <= 0) {
        width = DEFAULT_PICTURE_WIDTH;
        height = DEFAULT_PICTURE_HEIGHT;
        return;
    }
    width = std::min(h.xDots + 1, RASTER_MAX_SIDE);
    height = std::min(h.yDots + 1, RASTER_MAX_SIDE);
    while (!RasterSurface::sizeAllowed(width, height)) {
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
    }
}

const std::vector<std::uint8_t>& rendererBytes(const LoadedSlide& s, std::vector<std::uint8_t>& copy)
{
    if (s.order.order == ByteOrder::Little) return s.bytes;
    copy = transcodeSlide(s.bytes.data(), s.bytes.size(), s.order.order, ByteOrder::Little, true);
    return copy;
}

PictureLook pictureLook(
    const std::vector<std::uint8_t>& bytes, int width, int height, const PictureChoices& choices)
{
    PictureLook look;
    const bool dark = darkInk(choices);
    look.foreground = dark ? rgb(0, 0, 0) : rgb(255, 255, 255);
    look.backdrop = dark ? rgb(255, 255, 255) : rgb(0, 0, 0);
    if (choices.fit == Fit::Drawing && findDrawnBox(bytes.data(), bytes.size(), look.fitBox)) {
        look.fit = true;
        look.fitMargin = fitMarginFor(width, height);
    }
    return look;
}

Picture makePicture(
    const LoadedSlide& s, int width, int height, const PictureChoices& choices, PictureFormat format)
{
    Picture p;
    std::vector<std::uint8_t> copy;
    const std::vector<std::uint8_t>& bytes = rendererBytes(s, copy);
    if (format == PictureFormat::Dxf) {
        p.header = writeSlideDxf(bytes.data(), bytes.size(), [&p](const char* data, std::size_t size) {
            p.encoded.append(data, size);
            return true;
        }).header;
        p.made = true;
        return p;
    }
    const PictureLook look = pictureLook(bytes, width, height, choices);
    const ColorRef bg = backgroundColour(choices.background);
    if (format == PictureFormat::Svg) {
        // Smooth SVG is ours too: the viewer does the antialiasing, and the
        // document is less than half the size of what the 2D library writes.
        SvgSurface svg(width, height, bg, choices.style == Style::Smooth);
        p.header = drawSlideBytes(svg, nullptr, bytes.data(), bytes.size(), look);
        p.encoded = svg.document();
        p.made = true;
        return p;
    }
    if (choices.style == Style::Smooth) {
        std::string why;
        SmoothDraw draw = smoothDrawer(&why);
        if (!draw) {
            p.failure = "the smooth style is not available: " + why;
            return p;
        }
        SmoothJob job { bytes.data(), bytes.size(), width, height, bg, look, false };
        const int drawn = draw(
            &job,
            [](void* out, const char* data, std::size_t size) {
                static_cast<std::string*>(out)->append(data, size);
            },
            &p.encoded);
        // The module speaks plain C: the header's result, or -1.
        p.made = drawn >= 0;
        if (p.made)
            p.header = static_cast<StatusCode>(drawn);
        else
            p.failure = "not enough memory for a picture of that size";
        return p;
    }
    {
        // Drawn as the dialogs draw, on a surface of palette indices: the
        // same pixels in a quarter of the memory.
        IndexedRasterSurface indexed(width, height, bg);
        if (!indexed.valid()) {
            p.failure = "not enough memory for a picture of that size";
            return p;
        }
        p.header = drawSlideBytes(indexed, nullptr, bytes.data(), bytes.size(), look);
        if (!indexed.overflowed()) {
            p.made = encodePng(indexed, p.encoded, choices.background == Background::None ? &bg : nullptr);
            if (!p.made) p.failure = "the PNG could not be encoded";
            return p;
        }
    }
    OffscreenWindow window(width, height, bg);
    if (!window.surface().valid()) {
        p.failure = "not enough memory for a picture of that size";
        return p;
    }
    window.InvalidateAndUpdate();
    Surface* surface = window.GetSurface();
    p.header = drawSlideBytes(*surface, &window, bytes.data(), bytes.size(), look);
    window.ReleaseSurface(surface);
    p.made = encodePng(window.surface(), p.encoded, choices.background == Background::None ? &bg : nullptr);
    if (!p.made) p.failure = "the PNG could not be encoded";
    return p;
}

bool writePictureFile(const std::string& path, const std::string& bytes)
{
    return platform::writeWholeFile(path, bytes, false);
}

SavedPicture savePicture(const LoadedSlide& s, int width, int height, const PictureChoices& choices,
    PictureFormat format, const std::string& path)
{
    SavedPicture saved;
    if (format == PictureFormat::Svg) {
        platform::SaveFile out;
        out.setDurable(false); // see writePictureFile
        if (!out.open(platform::resolveForCreate(path))) {
            saved.made = true;
            return saved;
        }
        std::vector<std::uint8_t> copy;
        const std::vector<std::uint8_t>& bytes = rendererBytes(s, copy);
        const PictureLook look = pictureLook(bytes, width, height, choices);
        SvgSurface svg(width, height, backgroundColour(choices.background), choices.style == Style::Smooth,
            [&out](const char* data, std::size_t size) { return out.write(data, size); });
        saved.header = drawSlideBytes(svg, nullptr, bytes.data(), bytes.size(), look);
        saved.made = true;
        saved.written = svg.finish() && out.commit();
        return saved;
    }
    if (format == PictureFormat::Dxf) {
        platform::SaveFile out;
        out.setDurable(false); // see writePictureFile
        saved.made = true;
        if (!out.open(platform::resolveForCreate(path))) return saved;
        std::vector<std::uint8_t> copy;
        const std::vector<std::uint8_t>& bytes = rendererBytes(s, copy);
        const DxfResult r = writeSlideDxf(bytes.data(), bytes.size(),
            [&out](const char* data, std::size_t size) { return out.write(data, size); });
        saved.header = r.header;
        saved.written = r.written && out.commit();
        return saved;
    }
    Picture p = makePicture(s, width, height, choices, format);
    saved.made = p.made;
    saved.header = p.header;
    saved.failure = p.failure;
    saved.written = p.made && writePictureFile(path, p.encoded);
    return saved;
}

} // namespace qorvan::slide
