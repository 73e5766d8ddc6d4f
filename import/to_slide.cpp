#include "import/to_slide.h"

#include <algorithm>
#include <cmath>

#include "slide/writer.h"

namespace qorvan::import {

Grid Placement::grid() const
{
    Grid g;
    g.unitsPerPixel = scale > 0 ? 1 / scale : 1;
    g.tolerance = g.unitsPerPixel / 2;
    return g;
}

bool placeDrawing(const Extents& e, const SlideSize& size, Placement& out, std::string& error)
{
    const double w = e.width(), h = e.height();
    int xDots = size.width, yDots = size.height;
    const int margin = std::max(0, size.margin);
    if (xDots <= 0 && yDots <= 0) {
        // The longer side of the drawing gets the default; the other keeps
        // the aspect (a degenerate drawing gives a square slide).
        const int longer = size.longer > 0 ? size.longer : DEFAULT_SLIDE_DOTS;
        const double inner = longer - 2 * margin;
        if (w >= h) {
            xDots = longer;
            yDots = w > 0 && h > 0 ? static_cast<int>(std::lround(inner * h / w)) + 2 * margin : longer;
        } else {
            yDots = longer;
            xDots = w > 0 ? static_cast<int>(std::lround(inner * w / h)) + 2 * margin : longer;
        }
    } else if (xDots <= 0 || yDots <= 0) {
        // One side given: the other follows the drawing's aspect.
        const int given = xDots > 0 ? xDots : yDots;
        const double inner = given - 2 * margin;
        const double ratio = xDots > 0 ? (w > 0 ? h / w : 1) : (h > 0 ? w / h : 1);
        const int other = std::max(1, static_cast<int>(std::lround(inner * ratio)) + 2 * margin);
        (xDots > 0 ? yDots : xDots) = other;
    }
    xDots = std::clamp(xDots, 1, slide::MAX_SLIDE_DOTS);
    yDots = std::clamp(yDots, 1, slide::MAX_SLIDE_DOTS);
    const double innerW = xDots - 2 * margin, innerH = yDots - 2 * margin;
    if (innerW < 0 || innerH < 0) {
        error = "a margin of " + std::to_string(margin) + " dots does not fit a slide of "
            + std::to_string(xDots) + "x" + std::to_string(yDots);
        return false;
    }
    out.xDots = xDots;
    out.yDots = yDots;
    double scale = 1;
    if (w > 0 && h > 0)
        scale = std::min(innerW / w, innerH / h);
    else if (w > 0)
        scale = innerW / w;
    else if (h > 0)
        scale = innerH / h;
    if (!std::isfinite(scale) || scale <= 0) scale = 1;
    out.scale = scale;
    const double cx = e.empty ? 0 : (e.minX + e.maxX) / 2, cy = e.empty ? 0 : (e.minY + e.maxY) / 2;
    out.offsetX = xDots / 2.0 - cx * scale;
    out.offsetY = yDots / 2.0 - cy * scale;
    return true;
}

std::vector<std::uint8_t> writeSlide(
    const Drawing& drawing, const Placement& p, std::vector<std::string>& warnings)
{
    slide::SlideWriter w(p.xDots, p.yDots);
    std::vector<slide::Point> line;
    std::vector<std::vector<slide::PointF>> rings;
    auto toDots = [&](Vec2 v) { return slide::PointF { p.x(v.x), p.y(v.y) }; };
    auto clampRound = [](double v, int hi) {
        if (!std::isfinite(v)) return 0;
        return static_cast<int>(std::lround(std::clamp(v, -1.0, hi + 1.0)));
    };
    for (const Shape& s : drawing.shapes) {
        w.setColour(s.colour);
        if (s.filled) {
            rings.clear();
            for (const Ring& r : s.rings) {
                rings.emplace_back();
                for (Vec2 v : r.points)
                    rings.back().push_back(toDots(v));
            }
            w.fillArea(rings, s.fillRule == FillRule::EvenOdd);
            continue;
        }
        for (const Ring& r : s.rings) {
            line.clear();
            for (Vec2 v : r.points) {
                const slide::PointF d = toDots(v);
                line.push_back({ clampRound(d.x, p.xDots), clampRound(d.y, p.yDots) });
            }
            w.polyline(line, r.closed);
        }
    }
    if (const std::size_t n = w.stats().outlinedFills)
        warnings.push_back(std::to_string(n)
            + " filled area(s) drawn as outlines: cutting them into the slide's "
            + "convex pieces would take more than " + std::to_string(slide::MAX_FILL_CUT_WORK)
            + " steps (overlapping edges cross too often)");
    return w.finish();
}

bool makeSlide(const Source& source, const SlideSize& size, std::vector<std::uint8_t>& bytes,
    std::vector<std::string>& warnings, std::string& error)
{
    Placement rough;
    if (!placeDrawing(source.extents(), size, rough, error)) return false;
    Drawing drawing;
    if (!source.draw(rough.grid(), drawing, error)) return false;
    // The cheap extents may be a little larger than what was drawn, unless
    // they are the drawing's own frame, which the slide shows whole.
    Placement exact = rough;
    const Extents drawn = drawing.extents();
    if (!source.extentsAreFrame() && !drawn.empty && !placeDrawing(drawn, size, exact, error)) return false;
    for (const std::string& w : source.warnings())
        warnings.push_back(w);
    for (const std::string& w : drawing.warnings)
        warnings.push_back(w);
    // A blank slide is still a slide (a menu may want one), but it is far
    // more often a wrong layer name or an export that lost the geometry.
    if (drawing.pointCount() == 0)
        warnings.push_back("nothing to draw (an empty drawing, or layers and filters that leave nothing): "
                           "the slide is blank");
    bytes = writeSlide(drawing, exact, warnings);
    return true;
}

} // namespace qorvan::import
