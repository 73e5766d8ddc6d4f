// From an importer's shapes to slide bytes: where the drawing lands on the
// slide's grid, and the records that draw it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "import/drawing.h"

namespace qorvan::import {

// Without --size the longer side of the slide gets this many dots and the
// shorter side follows the drawing's aspect.
inline constexpr int DEFAULT_SLIDE_DOTS = 1000;
inline constexpr int DEFAULT_MARGIN_DOTS = 8;

struct SlideSize {
    int width = 0; // xDots; 0: from the drawing and the other side
    int height = 0; // yDots; 0: likewise
    int longer = 0; // with neither side given: the longer side (0: the default)
    int margin = DEFAULT_MARGIN_DOTS;
};

// The drawing's extents scaled uniformly into the slide inside the margin
// and centred; a drawing of no width or height (a point, a horizontal line)
// is centred on that axis.
struct Placement {
    int xDots = DEFAULT_SLIDE_DOTS;
    int yDots = DEFAULT_SLIDE_DOTS;
    double scale = 1; // dots per drawing unit
    double offsetX = 0, offsetY = 0;

    double x(double drawingX) const { return drawingX * scale + offsetX; }
    double y(double drawingY) const { return drawingY * scale + offsetY; }
    Grid grid() const;
};

// False with `error` when the size cannot hold the margin.
bool placeDrawing(const Extents& extents, const SlideSize& size, Placement& out, std::string& error);

// The slide: each shape in order, its colour record only where it changes.
// A warning is appended when areas had to be outlined rather than filled.
std::vector<std::uint8_t> writeSlide(
    const Drawing& drawing, const Placement& placement, std::vector<std::string>& warnings);

// The whole road from an opened source: cheap extents, grid, shapes, exact
// placement, bytes. Warnings of the drawing are appended to `warnings`; a
// drawing with nothing to draw makes a blank slide and a warning that says so.
bool makeSlide(const Source& source, const SlideSize& size, std::vector<std::uint8_t>& bytes,
    std::vector<std::string>& warnings, std::string& error);

} // namespace qorvan::import
