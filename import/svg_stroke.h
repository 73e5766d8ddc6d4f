// Wide strokes as areas: a slide draws one-pixel lines, so a stroke several
// pixels wide is handed to the writer as the outline of the area it paints.
#pragma once

#include <cstddef>
#include <vector>

#include "import/drawing.h"

namespace qorvan::import::svg {

enum class LineJoin { Miter, Round, Bevel };
enum class LineCap { Butt, Round, Square };

struct StrokeStyle {
    double width = 1;
    LineJoin join = LineJoin::Miter;
    LineCap cap = LineCap::Butt;
    double miterLimit = 4;
};

// Appends closed rings whose union is the area the stroke of `line` paints:
// one quadrilateral per segment, one piece per join and cap. Every ring
// turns the same way, so filling them together under the non-zero rule
// gives their union whatever transform follows. tolerance bounds the
// flattening of round joins and caps.
void outlineStroke(const Ring& line, const StrokeStyle& style, double tolerance, std::size_t maxSegments,
    std::vector<Ring>& out);

// Cuts line into the dashes of a dash array (lengths alternate on, off),
// starting `offset` into the pattern. An array that is empty, negative or
// sums to zero draws the line solid, as viewers do. False, with nothing
// cut, when the line would make more than maxPieces dashes.
bool applyDashes(const Ring& line, const std::vector<double>& dashes, double offset, std::size_t maxPieces,
    std::vector<Ring>& out);

} // namespace qorvan::import::svg
