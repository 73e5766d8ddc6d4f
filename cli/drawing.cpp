#include "cli/drawing.h"

#include <algorithm>

#include "cli/common.h"

#include "slide/offscreen_window.h"
#include "slide/png.h"
#include "slide/raster_surface.h"
#include "slide/renderer.h"
#include "slide/svg_surface.h"
#include "store/status.h"

namespace qorvan::cli {

namespace {

slide::ColorRef backgroundColour(Background b)
{
    switch (b) {
    case Background::White: return slide::rgb(255, 255, 255);
    case Background::None: return slide::TRANSPARENT_BACKGROUND;
    case Background::Black: break;
    }
    return slide::rgb(0, 0, 0);
}

// The steps of showing a slide in a control: clip to the client area, one
// renderer, the header's result back.
int drawInto(slide::Window* window, slide::Surface& surface, const std::vector<std::uint8_t>& bytes)
{
    slide::Rect client = surface.GetClientRect();
    slide::Handle region = surface.CreateRectRgn(0, 0, client.width(), client.height());
    surface.SelectClipRgn(region);
    slide::SlideRenderer renderer;
    renderer.window = window;
    renderer.surface = &surface;
    slide::MemoryStream stream(bytes.data(), bytes.size());
    int result = slide::drawSlideStream(renderer, stream);
    surface.SelectClipRgn(slide::NO_OBJECT);
    surface.DeleteObject(region);
    return result;
}

} // namespace

void slideSize(const LoadedSlide& s, int& width, int& height)
{
    slide::HeaderFields h = slide::readHeaderFields(s.bytes.data(), s.bytes.size(), s.order.order);
    if (!h.complete || h.xDots <= 0 || h.yDots <= 0) {
        width = DEFAULT_PICTURE_WIDTH;
        height = DEFAULT_PICTURE_HEIGHT;
        return;
    }
    width = std::min(h.xDots + 1, slide::RASTER_MAX_SIDE);
    height = std::min(h.yDots + 1, slide::RASTER_MAX_SIDE);
    while (!slide::RasterSurface::sizeAllowed(width, height)) {
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
    }
}

std::vector<std::uint8_t> rendererBytes(const LoadedSlide& s)
{
    if (s.order.order == slide::ByteOrder::Little) return s.bytes;
    return slide::transcodeSlide(s.bytes.data(), s.bytes.size(), s.order.order, slide::ByteOrder::Little, true);
}

DrawResult drawPicture(const LoadedSlide& s, int width, int height, Background background, PictureFormat format,
                       const std::string& outPath)
{
    DrawResult result;
    std::vector<std::uint8_t> bytes = rendererBytes(s);
    if (format == PictureFormat::Svg) {
        std::string doc = svgDocument(s, width, height, background, &result.header);
        result.written = writeWholeFile(outPath, doc);
        return result;
    }
    const slide::ColorRef bg = backgroundColour(background);
    slide::OffscreenWindow window(width, height, bg);
    if (!window.surface().valid()) return result;
    window.InvalidateAndUpdate();
    slide::Surface* surface = window.GetSurface();
    result.header = drawInto(&window, *surface, bytes);
    window.ReleaseSurface(surface);
    result.written = background == Background::None
                         ? slide::writePngTransparent(window.surface(), outPath, &bg)
                         : slide::writePng(window.surface(), outPath);
    return result;
}

std::string svgDocument(const LoadedSlide& s, int width, int height, Background background, int* header)
{
    std::vector<std::uint8_t> bytes = rendererBytes(s);
    slide::SvgSurface svg(width, height, backgroundColour(background));
    int result = drawInto(nullptr, svg, bytes);
    if (header) *header = result;
    return svg.document();
}

} // namespace qorvan::cli
