// Hand-made slides for tests: a header of either form and records appended
// one by one.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "slide/format.h"
#include "slide/raster_surface.h"
#include "slide/renderer.h"

namespace qorvan::testing {

struct SlideBytes {
    std::string b;

    static SlideBytes newForm(
        int xDots, int yDots, unsigned fillFlag = 0, unsigned byteOrder = 0x1234, int level = 2)
    {
        SlideBytes s;
        s.b.assign(slide::SLIDE_SIGNATURE, slide::SLIDE_SIGNATURE_SIZE);
        s.byte('V')
            .byte(static_cast<unsigned>(level))
            .word(static_cast<unsigned>(xDots))
            .word(static_cast<unsigned>(yDots));
        s.word(0).word(0).word(fillFlag).word(byteOrder);
        return s;
    }
    static SlideBytes oldForm(int xDots, int yDots, unsigned fillFlag = 0, unsigned spare = 0xAB)
    {
        SlideBytes s;
        s.b.assign(slide::SLIDE_SIGNATURE, slide::SLIDE_SIGNATURE_SIZE);
        s.byte('V').byte(1).word(static_cast<unsigned>(xDots)).word(static_cast<unsigned>(yDots));
        s.word(0x1111).word(0x2222).word(0x3333).word(0x4444).word(fillFlag).byte(spare);
        return s;
    }
    SlideBytes& byte(unsigned v)
    {
        b.push_back(static_cast<char>(v & 0xFF));
        return *this;
    }
    SlideBytes& word(unsigned v) { return byte(v).byte(v >> 8); }
    SlideBytes& vector(unsigned x1, unsigned y1, unsigned x2, unsigned y2)
    {
        return word(x1).word(y1).word(x2).word(y2);
    }
    SlideBytes& offsetVector(int dx1, int dy1, int dx2, int dy2)
    {
        return byte(static_cast<unsigned>(dx1))
            .byte(0xFB)
            .byte(static_cast<unsigned>(dy1))
            .byte(static_cast<unsigned>(dx2))
            .byte(static_cast<unsigned>(dy2));
    }
    SlideBytes& commonEndpoint(int dx, int dy)
    {
        return byte(static_cast<unsigned>(dx)).byte(0xFE).byte(static_cast<unsigned>(dy));
    }
    SlideBytes& color(unsigned c) { return byte(c).byte(0xFF); }
    SlideBytes& fill(const std::vector<std::pair<unsigned, unsigned>>& v)
    {
        word(0xFD00).word(static_cast<unsigned>(v.size())).word(0);
        for (auto [x, y] : v)
            word(0xFD00).word(x).word(y);
        return *this;
    }
    SlideBytes& end() { return word(0xFC00); }
};

// Renders bytes into a fresh raster of w by h on black; returns the status.
inline int renderTo(slide::RasterSurface& s, const std::string& bytes)
{
    slide::SlideRenderer r;
    r.surface = &s;
    slide::MemoryStream stream(bytes.data(), bytes.size());
    return slide::drawSlideStream(r, stream);
}

inline int countPixels(const slide::RasterSurface& s, slide::ColorRef background = 0)
{
    int n = 0;
    for (slide::ColorRef c : s.pixels())
        n += c != background;
    return n;
}

} // namespace qorvan::testing
