// Drawing a slide held in memory into a picture the way a control shows
// it (clip to the client area, one renderer), with the choices a picture
// for people adds: the colour of colour 7 and the framing of the drawing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "slide/renderer.h"
#include "slide/window.h"

namespace qorvan::slide {

struct PictureLook {
    ColorRef foreground = rgb(255, 255, 255); // colour 7 (see SlideRenderer)
    ColorRef backdrop = rgb(0, 0, 0); // colour 0 (see SlideRenderer)
    bool fit = false; // frame fitBox, not the slide
    SlideBox fitBox;
    std::int32_t fitMargin = 0;
};

// The margin a picture of this size keeps around a fitted drawing: about
// 4 % of its smaller side, at least one pixel.
std::int32_t fitMarginFor(int width, int height);

// Draws a little-endian slide (bytes from its first header byte) on surface,
// sized by window's client area when given. Returns the header's result: Ok,
// DisplayMismatch or InvalidSlide (status set as the header check sets it).
StatusCode drawSlideBytes(
    Surface& surface, Window* window, const std::uint8_t* bytes, std::size_t size, const PictureLook& look);

} // namespace qorvan::slide
