// A slide's drawing as an R12 ASCII DXF, for CAD programs: what the viewer
// draws, in the slide's own dots (one drawing unit a dot, y upward, the
// slide's area from (0, 0) to (xDots, yDots), which the header gives as the
// drawing's limits).
//
//   a vector of any record kind    one LINE, from its from point to its to
//                                  point after the renderer's clamp and fold
//                                  (a dot is a LINE of no length)
//   a fill of two to four corners  one SOLID (a convex one; corners in the
//                                  order SOLID keeps them, first, second,
//                                  fourth, third)
//   a larger or concave fill       SOLIDs that share its area: a fan of
//                                  quadrilaterals from its first corner when
//                                  convex, else trapezoids under the
//                                  renderer's non-zero rule (past the slide
//                                  writer's bound on cutting, LINEs round
//                                  its outline)
//   a colour                       the layer the entities after it go on,
//                                  named after the colour and of that colour
//                                  (entities are BYLAYER); colour 0, which
//                                  draws in the background's colour and has
//                                  no ACI number, goes on layer BLACK, which
//                                  is off
//
// A fill of one corner draws nothing and is left out. The DXF is handed to
// a sink in pieces, so a slide of millions of vectors needs no more memory
// than the slide.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "store/status.h"

namespace qorvan::slide {

// The layer of a slide colour: the seven named colours by name (RED ...
// WHITE), the others COLOUR_N, colour 0 BLACK.
std::string dxfLayerName(std::uint8_t colour);

using DxfSink = std::function<bool(const char* data, std::size_t size)>;
inline constexpr std::size_t DXF_STREAM_PIECE = 64 * 1024;

struct DxfResult {
    StatusCode header = Ok; // as drawSlideBytes gives it: Ok, DisplayMismatch or InvalidSlide
    bool written = false; // the sink took every piece
};

// Writes the little-endian slide at bytes (from its first header byte).
DxfResult writeSlideDxf(const std::uint8_t* bytes, std::size_t size, const DxfSink& sink);

} // namespace qorvan::slide
