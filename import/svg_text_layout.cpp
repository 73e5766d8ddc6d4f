// Text: the runs of a text element and its tspans, laid out in the stroke
// font along the current pen position.
#include "import/svg_walker.h"

#include <cmath>

#include "import/stroke_font.h"
#include "import/svg_clip.h"
#include "import/svg_text.h"
#include "slide/palette_match.h"

namespace qorvan::import::svg {

namespace {

    // The stroke font's capitals are one unit high; in the sans-serif faces SVG
    // text usually names, capitals stand about 0.7 of the font size.
    constexpr double CAP_HEIGHT_PER_EM = 0.7;

} // namespace

// The first number of a coordinate list attribute (x="1 2 3" places
// only the first character there; the rest follow on).
bool Walker::firstLength(
    const xml::Node& node, std::string_view key, Axis axis, const Viewport& vp, const Style& s, double& value)
{
    const std::string* text = node.attribute(key);
    if (!text) return false;
    const std::string_view v = trim(*text);
    const std::size_t end = v.find_first_of(" ,\t\n\r");
    return parseLength(v.substr(0, end), axis, vp, s.fontSize, value);
}

void Walker::collectText(
    const xml::Node& node, const Style& s, const Viewport& vp, std::vector<TextRun>& runs, int depth)
{
    for (std::size_t c : node.children) {
        const xml::Node& child = src.doc.nodes[c];
        if (child.isText()) {
            runs.back().text += child.text;
            continue;
        }
        if (child.name != "tspan" || depth > limits().maxDepth) continue;
        const Style cs = computeStyle(child, s, vp, src.sheet, cascade);
        if (!cs.display) continue;
        TextRun run;
        run.hasX = firstLength(child, "x", Axis::X, vp, cs, run.x);
        run.hasY = firstLength(child, "y", Axis::Y, vp, cs, run.y);
        firstLength(child, "dx", Axis::X, vp, cs, run.dx);
        firstLength(child, "dy", Axis::Y, vp, cs, run.dy);
        runs.push_back(run);
        collectText(child, cs, vp, runs, depth + 1);
        runs.emplace_back(); // what follows the tspan goes on from where it ended
    }
}

bool Walker::text(const xml::Node& node, const Style& s, const Matrix& ctm, const Viewport& vp, double alpha)
{
    if (!s.visible) return true;
    const StrokeFont* font = src.strokeFont();
    if (!font) {
        ++counts.text;
        return true;
    }
    // Text is filled; a stroke only draws the same letters again.
    Rgba color;
    double opacity = s.fillOpacity;
    if (!resolvePaint(s.fill, s, color)) {
        if (!resolvePaint(s.stroke, s, color)) return true;
        opacity = s.strokeOpacity;
    }
    if (color.alpha * opacity * alpha < MIN_ALPHA) {
        ++counts.translucent;
        return true;
    }
    std::vector<TextRun> runs(1);
    firstLength(node, "x", Axis::X, vp, s, runs[0].x);
    firstLength(node, "y", Axis::Y, vp, s, runs[0].y);
    runs[0].hasX = runs[0].hasY = true;
    firstLength(node, "dx", Axis::X, vp, s, runs[0].dx);
    firstLength(node, "dy", Axis::Y, vp, s, runs[0].dy);
    collectText(node, s, vp, runs, 0);
    // White space as SVG treats it by default: line breaks go, tabs
    // are spaces, runs of spaces are one, none at either end.
    bool lastSpace = true;
    for (TextRun& r : runs) {
        std::string clean;
        for (char c : r.text) {
            if (c == '\n' || c == '\r') continue;
            const bool space = c == ' ' || c == '\t';
            if (space && lastSpace) continue;
            clean += space ? ' ' : c;
            lastSpace = space;
        }
        r.text = std::move(clean);
    }
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        if (it->text.empty()) continue;
        if (it->text.back() == ' ') it->text.pop_back();
        break;
    }
    const double scale = s.fontSize * CAP_HEIGHT_PER_EM;
    Shape shape;
    shape.colour = slide::nearestPaletteIndex(color.r, color.g, color.b);
    const Rect clip { src.box.minX, src.box.minY, src.box.maxX, src.box.maxY };
    double penX = 0, penY = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        TextRun& r = runs[i];
        if (r.hasX) penX = r.x;
        if (r.hasY) penY = r.y;
        penX += r.dx;
        penY += r.dy;
        if (r.hasX || r.hasY) {
            // A new chunk: the anchor moves it by its whole width.
            double width = 0;
            for (std::size_t j = i; j < runs.size() && (j == i || !(runs[j].hasX || runs[j].hasY)); ++j)
                width += font->advance(runs[j].text) * scale;
            if (s.anchor == Style::Anchor::Middle)
                penX -= width / 2;
            else if (s.anchor == Style::Anchor::End)
                penX -= width;
        }
        std::vector<Ring> strokes;
        const double advance = font->layout(r.text, strokes);
        for (Ring& stroke : strokes) {
            if (!budget(stroke.points.size())) return false;
            for (Vec2& p : stroke.points)
                p = { penX + p.x * scale, penY - p.y * scale };
            std::vector<Vec2> d = toDrawing(stroke.points, ctm);
            if (d.empty()) continue;
            if (src.sized)
                clipPolyline(d, false, clip, shape.rings);
            else
                shape.rings.push_back(Ring { std::move(d), false });
        }
        penX += advance * scale;
    }
    return addShape(std::move(shape));
}

} // namespace qorvan::import::svg
