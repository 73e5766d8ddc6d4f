// The slide renderer: reads a slide's header and records from a stream and
// draws them on a surface, scaled to the window's client area with the
// slide's proportions kept and its origin at the bottom-left corner.
#pragma once

#include <cstdint>
#include <vector>

#include "slide/stream.h"
#include "slide/surface.h"
#include "slide/window.h"
#include "store/status.h"

namespace qorvan::slide {

// A box in slide coordinates, corners included.
struct SlideBox {
    std::int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;
    friend bool operator==(const SlideBox&, const SlideBox&) = default;
};

struct SlideRenderer {
    // Sizes the drawing by its client rectangle; without a window the
    // surface's own rectangle is used.
    Window* window = nullptr;
    Surface* surface = nullptr;
    // Base of offset and common-endpoint vectors; a slide starts at (0, 0).
    Point lastPoint { 0, 0 };
    std::int32_t xDots = 0;
    std::int32_t yDots = 0;
    // Vertices of the fill being read; reused across fills and grown only as
    // vertices arrive, so a fill that claims 65535 vertices and stops costs
    // nothing.
    std::vector<Point> vertices;
    // The colour of slide colour 7 and of everything drawn before the first
    // colour record. White, as on the dialogs' black controls; a picture on
    // a light background wants black, as every CAD program draws it there.
    ColorRef foreground = rgb(255, 255, 255);
    // The colour of slide colour 0. A slide is made on a black screen, and
    // its colour 0 is that screen (fills that mask what lies behind them);
    // on a light background it draws in the light colour.
    ColorRef backdrop = rgb(0, 0, 0);
    // With fit set, this box rather than the whole slide area fills the
    // client area, centred, proportions kept, fitMargin pixels clear on
    // every side; otherwise the slide maps as the dialogs map it.
    bool fit = false;
    SlideBox fitBox;
    std::int32_t fitMargin = 0;
};

// Reads the header (setting the status) and draws the records; returns the
// header's result, Ok, DisplayMismatch or InvalidSlide. Drawing happens
// whatever the result.
StatusCode drawSlideStream(SlideRenderer& renderer, SlideStream& stream);

// Draws the records after the header; always completes.
bool renderRecords(SlideRenderer& renderer, SlideStream& stream, std::int32_t xDots, std::int32_t yDots);

void drawVector(SlideRenderer& renderer, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);

// SlidePalette entry index, or 0 (black) outside 0..255.
ColorRef paletteColor(int index);

// The window extent the set-up chooses for an extent xDots by yDots in a
// w by h client area (w > 0).
Size slideWindowExtent(std::int32_t xDots, std::int32_t yDots, std::int32_t w, std::int32_t h);

} // namespace qorvan::slide
