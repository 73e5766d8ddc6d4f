// The part of a slide's area that its drawing covers, found by running the
// renderer itself over a surface that only notes coordinates, so that the
// renderer's clamps and folds apply exactly as when it draws.
#pragma once

#include <cstddef>
#include <cstdint>

#include "slide/renderer.h"

namespace qorvan::slide {

// The box of the slide's lines, points and fill vertices, each line cut to
// the slide's area (0..xDots by 0..yDots) first, so that stray records far
// outside the area cannot shrink what is seen to a dot. False when nothing
// is drawn inside the area (or the header gives no area). bytes holds a
// little-endian slide from its first header byte. Sets the status as the
// header check does.
bool findDrawnBox(const std::uint8_t* bytes, std::size_t size, SlideBox& box);

} // namespace qorvan::slide
