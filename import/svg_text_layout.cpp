// Text: the characters of a text element and of the tspans and links inside
// it, each with its own paint, size and position, laid out in the stroke
// font chunk by chunk.
#include "import/svg_walker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "import/stroke_font.h"
#include "import/svg_clip.h"
#include "import/svg_number.h"
#include "import/svg_text.h"
#include "slide/palette_match.h"

namespace qorvan::import::svg {

namespace {

    // The stroke font's capitals are one unit high; in the sans-serif faces SVG
    // text usually names, capitals stand about 0.7 of the font size.
    constexpr double CAP_HEIGHT_PER_EM = 0.7;

    bool isUtf8Continuation(char c)
    {
        return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
    }

} // namespace

bool Walker::lengthList(const xml::Node& node, std::string_view key, Axis axis, const Viewport& vp,
    const Style& s, std::vector<double>& values)
{
    const std::string* text = node.attribute(key);
    if (!text) return false;
    std::string_view v = trim(*text);
    while (!v.empty()) {
        const std::size_t end = v.find_first_of(" ,\t\n\r");
        const std::string_view item = v.substr(0, end);
        if (!item.empty()) {
            double value = 0;
            std::size_t used = 0;
            const bool ok = axis == Axis::Other
                ? scanNumber(item, value, used) == NumberScan::Ok && used == item.size()
                : parseLength(item, axis, vp, s.fontSize, value);
            if (!ok) {
                // A bad list places nothing, as if the attribute were absent.
                badData(node, "bad " + std::string(key) + " list \"" + *text + "\"");
                values.clear();
                return false;
            }
            values.push_back(value);
        }
        if (end == std::string_view::npos) break;
        v = v.substr(end + 1);
    }
    return !values.empty();
}

void Walker::collectText(
    const xml::Node& node, const Style& s, const Viewport& vp, TextLayout& layout, int depth, bool& lastSpace)
{
    TextPlacement place;
    place.begin = layout.chars.size();
    lengthList(node, "x", Axis::X, vp, s, place.x);
    lengthList(node, "y", Axis::Y, vp, s, place.y);
    lengthList(node, "dx", Axis::X, vp, s, place.dx);
    lengthList(node, "dy", Axis::Y, vp, s, place.dy);
    lengthList(node, "rotate", Axis::Other, vp, s, place.rotate);
    const std::size_t placeIndex = layout.placements.size();
    layout.placements.push_back(std::move(place));
    const std::size_t style = layout.styles.size();
    layout.styles.push_back(s);
    for (std::size_t c : node.children) {
        const xml::Node& child = src.doc.nodes[c];
        if (child.isText()) {
            // White space as SVG treats it by default: line breaks go, tabs
            // are spaces, runs of spaces are one, none at the start.
            const std::string& t = child.text;
            for (std::size_t i = 0; i < t.size();) {
                std::size_t n = 1;
                while (i + n < t.size() && isUtf8Continuation(t[i + n]))
                    ++n;
                const char ch = t[i];
                i += n;
                if (ch == '\n' || ch == '\r') continue;
                const bool space = ch == ' ' || ch == '\t';
                if (space && lastSpace) continue;
                lastSpace = space;
                TextChar tc;
                tc.utf8 = space ? std::string(" ") : t.substr(i - n, n);
                tc.style = style;
                layout.chars.push_back(std::move(tc));
            }
            continue;
        }
        // Links inside text carry text like tspans do.
        if ((child.name != "tspan" && child.name != "a") || depth > limits().maxDepth) continue;
        const Style cs = computeStyle(child, s, vp, src.sheet, cascade);
        if (!cs.display) continue;
        collectText(child, cs, vp, layout, depth + 1, lastSpace);
    }
    layout.placements[placeIndex].end = layout.chars.size();
}

bool Walker::text(const xml::Node& node, const Style& s, const Matrix& ctm, const Viewport& vp, double alpha)
{
    const StrokeFont* font = src.strokeFont();
    if (!font) {
        if (s.visible) ++counts.text;
        return true;
    }
    TextLayout layout;
    bool lastSpace = true;
    collectText(node, s, vp, layout, 0, lastSpace);
    if (!layout.chars.empty() && layout.chars.back().utf8 == " ") layout.chars.pop_back();
    std::vector<TextChar>& chars = layout.chars;
    if (chars.empty()) return true;

    // Each element's lists place the characters it holds, counted from its
    // first; an inner element's lists win over its ancestors', which the
    // order of the placements (outer first) gives by overwriting. The last
    // rotation of a list goes on for the element's remaining characters.
    for (const TextPlacement& p : layout.placements) {
        const std::size_t end = std::min(p.end, chars.size());
        for (std::size_t i = p.begin; i < end; ++i) {
            const std::size_t k = i - p.begin;
            if (k < p.x.size()) {
                chars[i].hasX = true;
                chars[i].x = p.x[k];
            }
            if (k < p.y.size()) {
                chars[i].hasY = true;
                chars[i].y = p.y[k];
            }
            if (k < p.dx.size()) chars[i].dx = p.dx[k];
            if (k < p.dy.size()) chars[i].dy = p.dy[k];
            if (!p.rotate.empty()) chars[i].rotate = p.rotate[std::min(k, p.rotate.size() - 1)];
        }
    }
    chars.front().hasX = chars.front().hasY = true; // the text's position, 0 when it gives none

    // Each style's paint once: text is filled, and a stroke alone draws the
    // same letters.
    struct Ink {
        bool drawn = false;
        std::uint8_t colour = 7;
    };
    std::vector<Ink> inks(layout.styles.size());
    bool translucent = false;
    for (std::size_t i = 0; i < layout.styles.size(); ++i) {
        const Style& st = layout.styles[i];
        if (!st.visible) continue;
        Rgba color;
        double opacity = st.fillOpacity;
        if (!resolvePaint(st.fill, st, color)) {
            if (!resolvePaint(st.stroke, st, color)) continue;
            opacity = st.strokeOpacity;
        }
        if (color.alpha * opacity * alpha < MIN_ALPHA) {
            translucent = true;
            continue;
        }
        inks[i] = { true, slide::nearestPaletteIndex(color.r, color.g, color.b) };
    }
    if (translucent) ++counts.translucent;

    auto advanceOf = [&](const TextChar& c) {
        return font->advance(c.utf8) * layout.styles[c.style].fontSize * CAP_HEIGHT_PER_EM;
    };
    Shape shape;
    bool shapeStarted = false;
    double penX = 0, penY = 0;
    std::vector<Ring> strokes;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        const TextChar& c = chars[i];
        if (c.hasX) penX = c.x;
        if (c.hasY) penY = c.y;
        penX += c.dx;
        penY += c.dy;
        if (c.hasX || c.hasY) {
            // A new chunk: the anchor of its first character moves it by its
            // whole width, shifts inside it included.
            double width = advanceOf(c);
            for (std::size_t j = i + 1; j < chars.size() && !(chars[j].hasX || chars[j].hasY); ++j)
                width += advanceOf(chars[j]) + chars[j].dx;
            const Style::Anchor anchor = layout.styles[c.style].anchor;
            if (anchor == Style::Anchor::Middle)
                penX -= width / 2;
            else if (anchor == Style::Anchor::End)
                penX -= width;
        }
        const Ink ink = inks[c.style];
        const double scale = layout.styles[c.style].fontSize * CAP_HEIGHT_PER_EM;
        strokes.clear();
        const double advance = font->layout(c.utf8, strokes) * scale;
        if (ink.drawn) {
            if (shapeStarted && shape.colour != ink.colour) {
                if (!addShape(std::move(shape))) return false;
                shape = Shape {};
            }
            shape.colour = ink.colour;
            shapeStarted = true;
            // rotate turns the glyph about its own origin, clockwise on the
            // page (y grows down in user space); the pen still moves along x.
            const double turn = c.rotate * std::numbers::pi / 180;
            const double cs = std::cos(turn), sn = std::sin(turn);
            for (Ring& stroke : strokes) {
                if (!budget(stroke.points.size())) return false;
                for (Vec2& p : stroke.points) {
                    const double lx = p.x * scale, ly = -p.y * scale;
                    p = { penX + lx * cs - ly * sn, penY + lx * sn + ly * cs };
                }
                std::vector<Vec2> d = toDrawing(stroke.points, ctm);
                if (d.empty()) continue;
                if (clip_)
                    clipPolyline(d, false, *clip_, shape.rings);
                else
                    shape.rings.push_back(Ring { std::move(d), false });
            }
        }
        penX += advance;
    }
    return shapeStarted ? addShape(std::move(shape)) : true;
}

} // namespace qorvan::import::svg
