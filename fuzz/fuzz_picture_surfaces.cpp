// Arbitrary bytes as a slide, drawn for people: on the SVG surface in both
// styles (written in pieces and whole, which must agree) and on the smooth
// style's Cairo surface to PNG and SVG, framed by the slide or by its drawn
// box. The first byte chooses the framing and the pictures' size, so the
// mapping's extremes are reached; sizes stay small to keep each run quick.
#include <cstddef>
#include <cstdint>
#include <string>

#include "slide/cairo_surface.h"
#include "slide/drawn_box.h"
#include "slide/picture.h"
#include "slide/png.h"
#include "slide/svg_surface.h"

namespace {

using namespace qorvan::slide;

std::size_t count(const std::string& s, const char* what)
{
    std::size_t n = 0;
    for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
        ++n;
    return n;
}

void checkResult(int header)
{
    if (header != 0 && header != 2 && header != 3) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const std::uint8_t choice = data[0];
    const std::uint8_t* bytes = data + 1;
    const std::size_t n = size - 1;
    const int width = 1 + (choice & 0x3F), height = 1 + ((choice >> 2) & 0x1F);
    PictureLook look;
    if ((choice & 0x80) && findDrawnBox(bytes, n, look.fitBox)) {
        look.fit = true;
        look.fitMargin = fitMarginFor(width, height);
    }
    const ColorRef background = (choice & 0x40) ? TRANSPARENT_BACKGROUND : rgb(255, 255, 255);

    for (bool smooth : { false, true }) {
        SvgSurface whole(width, height, background, smooth);
        checkResult(drawSlideBytes(whole, nullptr, bytes, n, look));
        std::string streamed;
        SvgSurface pieces(width, height, background, smooth, [&streamed](const char* d, std::size_t k) {
            streamed.append(d, k);
            return true;
        });
        checkResult(drawSlideBytes(pieces, nullptr, bytes, n, look));
        if (!pieces.finish()) __builtin_trap();
        const std::string doc = whole.document();
        if (streamed != doc) __builtin_trap();
        // Every group and path that was opened is closed.
        if (count(doc, "<g") != count(doc, "</g>")) __builtin_trap();
        if (doc.compare(doc.size() - 7, 7, "</svg>\n") != 0) __builtin_trap();
        if (whole.liveObjects() != 0 || pieces.liveObjects() != 0) __builtin_trap();
    }
    for (CairoSurface::Output output : { CairoSurface::Output::Png, CairoSurface::Output::Svg }) {
        CairoSurface cairo(width, height, background, output);
        if (!cairo.valid()) __builtin_trap();
        checkResult(drawSlideBytes(cairo, nullptr, bytes, n, look));
        std::string encoded;
        if (!cairo.finish(encoded) || encoded.empty()) __builtin_trap();
        if (output == CairoSurface::Output::Png && encoded.compare(1, 3, "PNG") != 0) __builtin_trap();
    }
    return 0;
}
