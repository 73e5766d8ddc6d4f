// SVG path data (the d attribute) to absolute move, line, cubic and close
// commands. Quadratic curves are raised to cubics and elliptical arcs are
// replaced by cubics of at most a quarter turn each, so that everything after
// the parser handles one kind of curve, and an affine transform can be
// applied to the control points without changing the shape.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "import/drawing.h"

namespace qorvan::import::svg {

struct PathCommand {
    enum Kind : unsigned char { Move, Line, Cubic, Close };
    Kind kind = Move;
    // Move and Line use p[0]; Cubic uses p[0], p[1] (controls) and p[2] (end).
    Vec2 p[3];
    // A later piece of one arc: the path has no vertex (for markers) where
    // the piece before it ends.
    bool continues = false;
};

struct PathError {
    // Byte offset into the path data where parsing stopped, and why; empty
    // reason means the data was read to its end.
    std::size_t offset = 0;
    std::string reason;
    bool bound = false; // the fault is maxCommands reached, not bad data
    bool ok() const { return reason.empty(); }
};

// Parses d into out (appending). On bad data the commands read before the
// fault are kept, as viewers draw a path up to its first error, and the
// error says where and why. maxCommands bounds what one path may produce
// (arcs count every cubic they become); reaching it is an error too.
PathError parsePathData(std::string_view d, std::vector<PathCommand>& out, std::size_t maxCommands);

// Appends the cubics of an elliptical arc from `from` to `to` with the SVG
// endpoint parameters; degenerate arcs become a line or nothing, as SVG
// renderers draw them.
void appendArc(std::vector<PathCommand>& out, Vec2 from, double rx, double ry, double xAxisRotationDegrees,
    bool largeArc, bool sweep, Vec2 to);

} // namespace qorvan::import::svg
