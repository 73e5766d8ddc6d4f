#include "slide/picture.h"

#include <algorithm>

#include "slide/stream.h"

namespace qorvan::slide {

std::int32_t fitMarginFor(int width, int height)
{
    return std::max(1, (std::min(width, height) + 12) / 25);
}

StatusCode drawSlideBytes(
    Surface& surface, Window* window, const std::uint8_t* bytes, std::size_t size, const PictureLook& look)
{
    Rect client = surface.GetClientRect();
    Handle region = surface.CreateRectRgn(0, 0, client.width(), client.height());
    surface.SelectClipRgn(region);
    SlideRenderer renderer;
    renderer.window = window;
    renderer.surface = &surface;
    renderer.foreground = look.foreground;
    renderer.backdrop = look.backdrop;
    renderer.fit = look.fit;
    renderer.fitBox = look.fitBox;
    renderer.fitMargin = look.fitMargin;
    MemoryStream stream(bytes, size);
    StatusCode result = drawSlideStream(renderer, stream);
    surface.SelectClipRgn(NO_OBJECT);
    surface.DeleteObject(region);
    return result;
}

} // namespace qorvan::slide
