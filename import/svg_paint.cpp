// Painting: a path's fill and stroke resolved to palette colours, its curves
// flattened at the grid, and the rings cut to the viewport.
#include "import/svg_walker.h"

#include <algorithm>
#include <cmath>

#include "import/svg_clip.h"
#include "import/svg_number.h"
#include "import/svg_text.h"
#include "slide/palette_match.h"

namespace qorvan::import::svg {

// The mean colour of a gradient's stops, following href to the stops of
// another gradient; false when it has none.
bool Walker::gradientColor(std::size_t index, const Style& style, Rgba& color, int depth)
{
    const xml::Node& node = src.doc.nodes[index];
    double r = 0, g = 0, b = 0, a = 0;
    std::size_t n = 0;
    for (std::size_t c : node.children) {
        const xml::Node& stop = src.doc.nodes[c];
        if (stop.name != "stop") continue;
        Rgba stopColor;
        double opacity = 1;
        auto take = [&](std::string_view prop, std::string_view value) {
            value = trim(value);
            if (prop == "stop-color") {
                if (value == "currentColor")
                    stopColor = style.color;
                else
                    parseColor(value, stopColor);
            } else if (prop == "stop-opacity") {
                double v = 0;
                std::size_t used = 0;
                if (scanNumber(value, v, used) == NumberScan::Ok)
                    opacity = std::clamp(trim(value.substr(used)) == "%" ? v / 100 : v, 0.0, 1.0);
            }
        };
        for (const auto& [k, v] : stop.attributes)
            take(k, v);
        if (const std::string* st = stop.attribute("style"))
            for (const Declaration& d : parseDeclarations(*st))
                take(d.property, d.value);
        r += stopColor.r;
        g += stopColor.g;
        b += stopColor.b;
        a += stopColor.alpha * opacity;
        ++n;
    }
    if (n == 0) {
        const std::string* href = node.attribute("href");
        if (!href) href = node.attribute("xlink:href");
        if (!href || href->empty() || (*href)[0] != '#' || depth > 8) return false;
        const auto it = src.ids.find(href->substr(1));
        if (it == src.ids.end()) return false;
        const std::string& kind = src.doc.nodes[it->second].name;
        if (kind != "linearGradient" && kind != "radialGradient") return false;
        return gradientColor(it->second, style, color, depth + 1);
    }
    const double dn = static_cast<double>(n);
    color = { static_cast<std::uint8_t>(std::lround(r / dn)), static_cast<std::uint8_t>(std::lround(g / dn)),
        static_cast<std::uint8_t>(std::lround(b / dn)), a / dn };
    return true;
}

// The paint's colour and opacity, or false for no paint.
bool Walker::resolvePaint(const Paint& paint, const Style& style, Rgba& color)
{
    switch (paint.kind) {
    case Paint::None:
        return false;
    case Paint::Color:
        color = paint.color;
        return true;
    case Paint::CurrentColor:
        color = style.color;
        return true;
    case Paint::Url:
        break;
    }
    const auto it = src.ids.find(paint.id);
    if (it != src.ids.end()) {
        const std::string& kind = src.doc.nodes[it->second].name;
        if ((kind == "linearGradient" || kind == "radialGradient")
            && gradientColor(it->second, style, color, 0))
            return true;
    }
    if (paint.hasFallback) {
        color = paint.color;
        return true;
    }
    if (!paint.fallbackNone) ++counts.badPaint;
    return false;
}

bool Walker::budget(std::size_t more)
{
    points += more;
    if (points > limits().maxPoints)
        return fail("more than " + std::to_string(limits().maxPoints) + " points");
    return true;
}

bool Walker::addShape(Shape&& shape)
{
    if (shape.rings.empty()) return true;
    if (out.shapes.size() >= limits().maxEntities)
        return fail("more than " + std::to_string(limits().maxEntities) + " shapes");
    out.shapes.push_back(std::move(shape));
    return true;
}

// The points in drawing units; empty when the transform throws any of
// them beyond the range of numbers (the ring is then left out).
std::vector<Vec2> Walker::toDrawing(const std::vector<Vec2>& user, const Matrix& ctm)
{
    std::vector<Vec2> d;
    d.reserve(user.size());
    for (Vec2 p : user) {
        const Vec2 q = ctm.apply(p);
        if (!std::isfinite(q.x) || !std::isfinite(q.y)) {
            ++counts.outOfRange;
            return {};
        }
        d.push_back(q);
    }
    return d;
}

bool Walker::paintPath(
    const std::vector<PathCommand>& cmds, const Style& style, const Matrix& ctm, double groupAlpha)
{
    if (!style.visible || cmds.empty()) return true;
    Rgba fillColor, strokeColor;
    bool fill = resolvePaint(style.fill, style, fillColor);
    bool stroke = style.strokeWidth > 0 && resolvePaint(style.stroke, style, strokeColor);
    if (fill && fillColor.alpha * style.fillOpacity * groupAlpha < MIN_ALPHA) {
        fill = false;
        ++counts.translucent;
    }
    if (stroke && strokeColor.alpha * style.strokeOpacity * groupAlpha < MIN_ALPHA) {
        stroke = false;
        ++counts.translucent;
    }
    if (!fill && !stroke) return true;
    if (style.clipped) ++counts.clipped;

    // Flatten in user space with the tolerance scaled by the largest
    // stretch of the transform, so curves meet the tolerance in every
    // direction after it.
    const double stretch = std::sqrt(std::max(ctm.a * ctm.a + ctm.b * ctm.b, ctm.c * ctm.c + ctm.d * ctm.d));
    if (!(stretch > 0) || !std::isfinite(stretch)) return true;
    const double tolerance = grid.tolerance / stretch;
    std::vector<Ring> rings;
    Vec2 current;
    for (const PathCommand& c : cmds) {
        switch (c.kind) {
        case PathCommand::Move:
            rings.push_back(Ring { { c.p[0] }, false });
            current = c.p[0];
            break;
        case PathCommand::Line:
            if (rings.empty()) rings.push_back(Ring { { current }, false });
            rings.back().points.push_back(c.p[0]);
            current = c.p[0];
            break;
        case PathCommand::Cubic: {
            if (rings.empty()) rings.push_back(Ring { { current }, false });
            std::vector<Vec2>& pts = rings.back().points;
            const std::size_t before = pts.size();
            appendCubic(pts, current, c.p[0], c.p[1], c.p[2], tolerance, limits().maxSegmentsPerCurve);
            if (!budget(pts.size() - before)) return false;
            current = c.p[2];
            break;
        }
        case PathCommand::Close:
            if (!rings.empty()) {
                Ring& r = rings.back();
                r.closed = true;
                if (r.points.size() > 1 && r.points.back().x == r.points.front().x
                    && r.points.back().y == r.points.front().y)
                    r.points.pop_back();
                current = r.points.front();
            }
            break;
        }
    }
    if (!budget(cmds.size())) return false;

    if (fill) {
        Shape shape;
        shape.filled = true;
        shape.fillRule = style.fillRule;
        shape.colour = slide::nearestPaletteIndex(fillColor.r, fillColor.g, fillColor.b);
        for (const Ring& r : rings) {
            if (r.points.size() < 3) continue;
            std::vector<Vec2> d = toDrawing(r.points, ctm);
            if (clip_) d = clipPolygon(d, *clip_);
            if (d.size() >= 3) shape.rings.push_back(Ring { std::move(d), true });
        }
        if (!addShape(std::move(shape))) return false;
    }
    if (stroke) {
        // A pattern that repeats within a dot of the slide cannot show
        // as dashes there, and cutting it would cost a piece for every
        // dash however many: such a stroke is drawn solid.
        double period = 0;
        for (double d : style.dashes)
            period += d;
        const bool dashed
            = !style.dashes.empty() && !(period * ctm.meanScale() / grid.unitsPerPixel < 1 && period > 0);
        if (!style.dashes.empty() && !dashed) ++counts.fineDashes;
        std::vector<Ring> pieces;
        for (const Ring& r : rings) {
            const std::size_t before = pieces.size();
            if (!dashed)
                pieces.push_back(r);
            else if (!applyDashes(r, style.dashes, style.dashOffset, limits().maxEntities, pieces))
                return fail("a dash pattern cuts a stroke into more than "
                    + std::to_string(limits().maxEntities) + " pieces");
            for (std::size_t i = before; dashed && i < pieces.size(); ++i)
                if (!budget(pieces[i].points.size())) return false;
        }
        Shape shape;
        shape.colour = slide::nearestPaletteIndex(strokeColor.r, strokeColor.g, strokeColor.b);
        const double widthPixels = style.strokeWidth * ctm.meanScale() / grid.unitsPerPixel;
        if (widthPixels <= src.options.strokeWidthPixels) {
            for (const Ring& r : pieces) {
                std::vector<Vec2> d = toDrawing(r.points, ctm);
                if (d.empty()) continue;
                if (clip_)
                    clipPolyline(d, r.closed, *clip_, shape.rings);
                else
                    shape.rings.push_back(Ring { std::move(d), r.closed });
            }
        } else {
            shape.filled = true;
            shape.fillRule = FillRule::NonZero;
            StrokeStyle st = style.strokeStyle;
            st.width = style.strokeWidth;
            std::vector<Ring> outline;
            for (const Ring& r : pieces) {
                outline.clear();
                outlineStroke(r, st, tolerance, limits().maxSegmentsPerCurve, outline);
                for (const Ring& o : outline) {
                    if (!budget(o.points.size())) return false;
                    std::vector<Vec2> d = toDrawing(o.points, ctm);
                    if (clip_) d = clipPolygon(d, *clip_);
                    if (d.size() >= 3) shape.rings.push_back(Ring { std::move(d), true });
                }
            }
        }
        if (!addShape(std::move(shape))) return false;
    }
    return true;
}

} // namespace qorvan::import::svg
