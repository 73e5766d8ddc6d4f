// Cutting shapes to the drawing's viewport: what lies outside an SVG's
// viewport is not shown by any viewer, and a slide has no room for it.
#pragma once

#include <vector>

#include "import/drawing.h"

namespace qorvan::import::svg {

struct Rect {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
};

// The part of a polygon inside r (Sutherland-Hodgman against each side).
// Points inside keep their winding around them, so several rings clipped
// one by one still fill the same area inside r under either fill rule.
std::vector<Vec2> clipPolygon(const std::vector<Vec2>& polygon, const Rect& r);

// The parts of a polyline inside r, appended as open rings (a closed ring
// that lies wholly inside stays one closed ring).
void clipPolyline(const std::vector<Vec2>& line, bool closed, const Rect& r, std::vector<Ring>& out);

} // namespace qorvan::import::svg
