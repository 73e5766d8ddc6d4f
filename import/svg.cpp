// The SVG reader: walks the element tree with the cascade of presentation
// attributes, style sheets and style attributes, and turns every painted
// path into slide shapes at the grid the caller asks for.
#include "import/svg.h"
#include "import/svg_text.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numbers>
#include <unordered_map>
#include <unordered_set>

#include "import/stroke_font.h"
#include "import/svg_clip.h"
#include "import/svg_color.h"
#include "import/svg_css.h"
#include "import/svg_number.h"
#include "import/svg_path.h"
#include "import/svg_stroke.h"
#include "import/svg_transform.h"
#include "import/xml_tree.h"
#include "slide/palette_match.h"

namespace qorvan::import {
namespace svg {
    namespace {

        constexpr double DEFAULT_FONT_SIZE = 16;
        // The stroke font's capitals are one unit high; in the sans-serif faces SVG
        // text usually names, capitals stand about 0.7 of the font size.
        constexpr double CAP_HEIGHT_PER_EM = 0.7;
        // Paint less opaque than this is left out: a slide has no translucency, and
        // drawing a faint highlight solid would hide what lies under it.
        constexpr double MIN_ALPHA = 0.5;

        struct Viewport {
            double width = 100, height = 100;
        };

        enum class Axis { X, Y, Other };

        // A length with its unit resolved to user units; false when text is not one.
        bool parseLength(std::string_view text, Axis axis, const Viewport& vp, double fontSize, double& out)
        {
            text = trim(text);
            double v = 0;
            std::size_t used = 0;
            if (scanNumber(text, v, used) != NumberScan::Ok) return false;
            const std::string_view unit = trim(text.substr(used));
            double scale = 1;
            if (unit.empty() || unit == "px")
                scale = 1;
            else if (unit == "pt")
                scale = 96.0 / 72;
            else if (unit == "pc")
                scale = 16;
            else if (unit == "mm")
                scale = 96 / 25.4;
            else if (unit == "cm")
                scale = 96 / 2.54;
            else if (unit == "in")
                scale = 96;
            else if (unit == "em")
                scale = fontSize;
            else if (unit == "ex")
                scale = fontSize / 2;
            else if (unit == "%") {
                const double base = axis == Axis::X ? vp.width
                    : axis == Axis::Y               ? vp.height
                                      : std::sqrt((vp.width * vp.width + vp.height * vp.height) / 2);
                scale = base / 100;
            } else {
                return false;
            }
            out = v * scale;
            return std::isfinite(out);
        }

        struct ViewBox {
            double x = 0, y = 0, width = 0, height = 0;
            bool present = false;
        };

        bool parseNumberList(std::string_view text, std::vector<double>& out)
        {
            std::size_t pos = 0;
            while (true) {
                while (pos < text.size() && (isSpace(text[pos]) || text[pos] == ','))
                    ++pos;
                if (pos >= text.size()) return true;
                double v = 0;
                std::size_t used = 0;
                if (scanNumber(text.substr(pos), v, used) != NumberScan::Ok) return false;
                out.push_back(v);
                pos += used;
            }
        }

        ViewBox parseViewBox(const std::string* text)
        {
            ViewBox box;
            std::vector<double> v;
            if (text && parseNumberList(*text, v) && v.size() == 4 && v[2] > 0 && v[3] > 0) {
                box = { v[0], v[1], v[2], v[3], true };
            }
            return box;
        }

        // The transform that puts a viewBox into a viewport of width by height,
        // following preserveAspectRatio.
        Matrix viewBoxTransform(const ViewBox& box, double width, double height, const std::string* aspect)
        {
            if (!box.present) return Matrix {};
            double sx = width / box.width, sy = height / box.height;
            double alignX = 0.5, alignY = 0.5;
            bool none = false, slice = false;
            if (aspect) {
                std::string_view a = trim(*aspect);
                if (a.starts_with("defer")) a = trim(a.substr(5));
                if (a.starts_with("none")) {
                    none = true;
                } else if (a.size() >= 8 && a[0] == 'x' && a[4] == 'Y') {
                    const std::string_view x = a.substr(1, 3), y = a.substr(5, 3);
                    alignX = x == "Min" ? 0 : x == "Max" ? 1 : 0.5;
                    alignY = y == "Min" ? 0 : y == "Max" ? 1 : 0.5;
                    slice = a.find("slice") != std::string_view::npos;
                }
            }
            if (!none) sx = sy = slice ? std::max(sx, sy) : std::min(sx, sy);
            const double tx = -box.x * sx + (width - box.width * sx) * alignX;
            const double ty = -box.y * sy + (height - box.height * sy) * alignY;
            return { sx, 0, 0, sy, tx, ty };
        }

        struct Style {
            Paint fill;
            Paint stroke;
            double fillOpacity = 1, strokeOpacity = 1;
            FillRule fillRule = FillRule::NonZero;
            double strokeWidth = 1;
            StrokeStyle strokeStyle;
            std::vector<double> dashes;
            double dashOffset = 0;
            Rgba color;
            bool visible = true;
            double fontSize = DEFAULT_FONT_SIZE;
            enum class Anchor { Start, Middle, End } anchor = Anchor::Start;
            // Not inherited: reset for every element.
            double opacity = 1;
            bool display = true;
            bool clipped = false;

            Style()
            {
                fill.kind = Paint::Color;
                stroke.kind = Paint::None;
            }
        };

        struct WarningCounts {
            std::size_t translucent = 0, clipped = 0, outOfRange = 0, text = 0, images = 0, badPaint = 0,
                        badReference = 0, badData = 0, fineDashes = 0;
            std::string firstBadData;
        };

    } // namespace

    class SvgSource : public Source {
    public:
        xml::Document doc;
        std::string name;
        Options options;
        std::unordered_map<std::string, std::size_t> ids;
        StyleSheet sheet;
        std::vector<std::string> readWarnings;
        Viewport rootViewport;
        Matrix rootMatrix; // root user space to drawing units, y up
        // False only while the extents of a drawing without a size are being
        // found; after that they are its drawn extents and cut like a viewport.
        bool sized = true;
        Extents box;

        Extents extents() const override { return box; }
        bool draw(const Grid& grid, Drawing& out, std::string& error) const override;
        const std::vector<std::string>& warnings() const override { return readWarnings; }

        // The stroke font, loaded the first time text is met; null when it
        // cannot be, with fontError saying why.
        const StrokeFont* strokeFont() const
        {
            if (!fontTried) {
                fontTried = true;
                font = StrokeFont::load("futural", fontError);
            }
            return font.get();
        }
        mutable std::unique_ptr<StrokeFont> font;
        mutable bool fontTried = false;
        mutable std::string fontError;
        bool extentsAreFrame() const override { return true; }

        bool prepare(std::string& error);
    };

    namespace {

        class Walker {
        public:
            Walker(const SvgSource& source, const Grid& at, Drawing& sink, std::string& failure)
                : src(source)
                , grid(at)
                , out(sink)
                , error(failure)
            {
            }

            bool run()
            {
                Style root;
                const bool ok = element(0, root, src.rootMatrix, src.rootViewport, 0, 1.0, true);
                summarize();
                return ok;
            }

        private:
            const SvgSource& src;
            const Grid& grid;
            Drawing& out;
            std::string& error;
            std::size_t points = 0;
            std::size_t visits = 0;
            std::size_t cascade = 0; // style rules tried and declarations applied
            // The elements being drawn, from the root down through every use.
            std::vector<std::size_t> drawing;
            WarningCounts counts;

            const Limits& limits() const { return src.options.limits; }

            bool fail(std::string why)
            {
                error = src.name + ": " + std::move(why);
                return false;
            }

            void summarize()
            {
                auto warn = [&](std::size_t n, const std::string& what) {
                    if (n) out.warnings.push_back(std::to_string(n) + " " + what);
                };
                warn(counts.translucent,
                    "shape(s) more than half transparent left out (a slide has no transparency)");
                warn(counts.clipped, "clip path(s) or mask(s) ignored: the shapes are drawn whole");
                if (counts.text)
                    out.warnings.push_back(
                        std::to_string(counts.text) + " text element(s) left out: " + src.fontError);
                warn(counts.images, "embedded image(s) left out: a slide holds only lines and fills");
                warn(counts.badPaint, "paint(s) referring to a pattern or a missing element left out");
                warn(counts.fineDashes,
                    "dashed stroke(s) drawn solid: the pattern repeats within a dot of the slide");
                warn(counts.outOfRange, "ring(s) with coordinates beyond the range of numbers left out");
                warn(counts.badReference,
                    "use element(s) referring to a missing element or to themselves left out");
                if (counts.badData) {
                    out.warnings.push_back(std::to_string(counts.badData)
                        + " element(s) with bad data drawn up to the fault; first: " + counts.firstBadData);
                }
            }

            void badData(const xml::Node& node, const std::string& what)
            {
                if (counts.badData++ == 0)
                    counts.firstBadData = "line " + std::to_string(node.line) + ": " + what;
            }

            // --- the cascade ---

            void applyProperty(Style& s, const Style& parent, std::string_view prop, std::string_view value,
                const Viewport& vp)
            {
                value = trim(value);
                const bool inherit = value == "inherit";
                if (prop == "fill" || prop == "stroke") {
                    Paint& p = prop == "fill" ? s.fill : s.stroke;
                    if (inherit)
                        p = prop == "fill" ? parent.fill : parent.stroke;
                    else if (Paint parsed; parsePaint(value, parsed))
                        p = parsed;
                } else if (prop == "fill-opacity" || prop == "stroke-opacity" || prop == "opacity") {
                    double& target = prop == "opacity" ? s.opacity
                        : prop == "fill-opacity"       ? s.fillOpacity
                                                       : s.strokeOpacity;
                    if (inherit) {
                        target = prop == "opacity"   ? parent.opacity
                            : prop == "fill-opacity" ? parent.fillOpacity
                                                     : parent.strokeOpacity;
                        return;
                    }
                    double v = 0;
                    std::size_t used = 0;
                    if (scanNumber(value, v, used) != NumberScan::Ok) return;
                    if (trim(value.substr(used)) == "%")
                        v /= 100;
                    else if (used != value.size())
                        return;
                    target = std::clamp(v, 0.0, 1.0);
                } else if (prop == "fill-rule") {
                    if (value == "evenodd")
                        s.fillRule = FillRule::EvenOdd;
                    else if (value == "nonzero")
                        s.fillRule = FillRule::NonZero;
                    else if (inherit)
                        s.fillRule = parent.fillRule;
                } else if (prop == "stroke-width") {
                    double w = 0;
                    if (inherit)
                        s.strokeWidth = parent.strokeWidth;
                    else if (parseLength(value, Axis::Other, vp, s.fontSize, w) && w >= 0)
                        s.strokeWidth = w;
                } else if (prop == "stroke-linejoin") {
                    if (value == "round")
                        s.strokeStyle.join = LineJoin::Round;
                    else if (value == "bevel")
                        s.strokeStyle.join = LineJoin::Bevel;
                    else if (value == "miter" || value == "miter-clip" || value == "arcs")
                        s.strokeStyle.join = LineJoin::Miter;
                    else if (inherit)
                        s.strokeStyle.join = parent.strokeStyle.join;
                } else if (prop == "stroke-linecap") {
                    if (value == "round")
                        s.strokeStyle.cap = LineCap::Round;
                    else if (value == "square")
                        s.strokeStyle.cap = LineCap::Square;
                    else if (value == "butt")
                        s.strokeStyle.cap = LineCap::Butt;
                    else if (inherit)
                        s.strokeStyle.cap = parent.strokeStyle.cap;
                } else if (prop == "stroke-miterlimit") {
                    double v = 0;
                    std::size_t used = 0;
                    if (inherit)
                        s.strokeStyle.miterLimit = parent.strokeStyle.miterLimit;
                    else if (scanNumber(value, v, used) == NumberScan::Ok && used == value.size() && v >= 1)
                        s.strokeStyle.miterLimit = v;
                } else if (prop == "stroke-dasharray") {
                    if (inherit) {
                        s.dashes = parent.dashes;
                        return;
                    }
                    s.dashes.clear();
                    if (value == "none") return;
                    std::size_t pos = 0;
                    while (pos < value.size()) {
                        std::size_t end = value.find_first_of(", \t\n\r", pos);
                        if (end == std::string_view::npos) end = value.size();
                        double v = 0;
                        if (end > pos) {
                            if (!parseLength(value.substr(pos, end - pos), Axis::Other, vp, s.fontSize, v)
                                || v < 0) {
                                s.dashes.clear(); // an invalid list draws solid
                                return;
                            }
                            s.dashes.push_back(v);
                        }
                        pos = end + 1;
                    }
                } else if (prop == "stroke-dashoffset") {
                    double v = 0;
                    if (inherit)
                        s.dashOffset = parent.dashOffset;
                    else if (parseLength(value, Axis::Other, vp, s.fontSize, v))
                        s.dashOffset = v;
                } else if (prop == "color") {
                    if (inherit)
                        s.color = parent.color;
                    else if (Rgba c; parseColor(value, c))
                        s.color = c;
                } else if (prop == "visibility") {
                    if (value == "hidden" || value == "collapse")
                        s.visible = false;
                    else if (value == "visible")
                        s.visible = true;
                    else if (inherit)
                        s.visible = parent.visible;
                } else if (prop == "display") {
                    s.display = inherit ? parent.display : value != "none";
                } else if (prop == "font-size") {
                    double v = 0;
                    Viewport fontBase { parent.fontSize * 100, parent.fontSize * 100 };
                    if (inherit)
                        s.fontSize = parent.fontSize;
                    else if (parseLength(value, Axis::X, fontBase, parent.fontSize, v) && v >= 0)
                        s.fontSize = v;
                } else if (prop == "text-anchor") {
                    if (value == "middle")
                        s.anchor = Style::Anchor::Middle;
                    else if (value == "end")
                        s.anchor = Style::Anchor::End;
                    else if (value == "start")
                        s.anchor = Style::Anchor::Start;
                    else if (inherit)
                        s.anchor = parent.anchor;
                } else if (prop == "clip-path" || prop == "mask") {
                    if (value != "none" && !value.empty()) s.clipped = true;
                }
            }

            Style computeStyle(const xml::Node& node, const Style& parent, const Viewport& vp)
            {
                Style s = parent;
                s.opacity = 1;
                s.display = true;
                s.clipped = false;
                // font-size first: lengths in em depend on it.
                if (const std::string* fs = node.attribute("font-size"))
                    applyProperty(s, parent, "font-size", *fs, vp);
                for (const auto& [key, value] : node.attributes)
                    if (key != "style" && key != "font-size") applyProperty(s, parent, key, value, vp);
                if (!src.sheet.rules.empty()) {
                    const std::string* id = node.attribute("id");
                    const std::string* cls = node.attribute("class");
                    for (const Rule* r :
                        src.sheet.match(node.name, id ? *id : "", cls ? *cls : "", &cascade)) {
                        cascade += r->declarations.size();
                        for (const Declaration& d : r->declarations)
                            applyProperty(s, parent, d.property, d.value, vp);
                    }
                }
                if (const std::string* style = node.attribute("style"))
                    for (const Declaration& d : parseDeclarations(*style))
                        applyProperty(s, parent, d.property, d.value, vp);
                return s;
            }

            // --- paint ---

            // The mean colour of a gradient's stops, following href to the stops of
            // another gradient; false when it has none.
            bool gradientColor(std::size_t index, const Style& style, Rgba& color, int depth)
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
                color = { static_cast<std::uint8_t>(std::lround(r / dn)),
                    static_cast<std::uint8_t>(std::lround(g / dn)),
                    static_cast<std::uint8_t>(std::lround(b / dn)), a / dn };
                return true;
            }

            // The paint's colour and opacity, or false for no paint.
            bool resolvePaint(const Paint& paint, const Style& style, Rgba& color)
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

            // --- geometry ---

            bool budget(std::size_t more)
            {
                points += more;
                if (points > limits().maxPoints)
                    return fail("more than " + std::to_string(limits().maxPoints) + " points");
                return true;
            }

            bool addShape(Shape&& shape)
            {
                if (shape.rings.empty()) return true;
                if (out.shapes.size() >= limits().maxEntities)
                    return fail("more than " + std::to_string(limits().maxEntities) + " shapes");
                out.shapes.push_back(std::move(shape));
                return true;
            }

            // The points in drawing units; empty when the transform throws any of
            // them beyond the range of numbers (the ring is then left out).
            std::vector<Vec2> toDrawing(const std::vector<Vec2>& user, const Matrix& ctm)
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

            bool paintPath(const std::vector<PathCommand>& cmds, const Style& style, const Matrix& ctm,
                double groupAlpha)
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
                const double stretch
                    = std::sqrt(std::max(ctm.a * ctm.a + ctm.b * ctm.b, ctm.c * ctm.c + ctm.d * ctm.d));
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
                        appendCubic(
                            pts, current, c.p[0], c.p[1], c.p[2], tolerance, limits().maxSegmentsPerCurve);
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
                const Rect clip { src.box.minX, src.box.minY, src.box.maxX, src.box.maxY };

                if (fill) {
                    Shape shape;
                    shape.filled = true;
                    shape.fillRule = style.fillRule;
                    shape.colour = slide::nearestPaletteIndex(fillColor.r, fillColor.g, fillColor.b);
                    for (const Ring& r : rings) {
                        if (r.points.size() < 3) continue;
                        std::vector<Vec2> d = toDrawing(r.points, ctm);
                        if (src.sized) d = clipPolygon(d, clip);
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
                    const bool dashed = !style.dashes.empty()
                        && !(period * ctm.meanScale() / grid.unitsPerPixel < 1 && period > 0);
                    if (!style.dashes.empty() && !dashed) ++counts.fineDashes;
                    std::vector<Ring> pieces;
                    for (const Ring& r : rings) {
                        const std::size_t before = pieces.size();
                        if (!dashed)
                            pieces.push_back(r);
                        else if (!applyDashes(
                                     r, style.dashes, style.dashOffset, limits().maxEntities, pieces))
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
                            if (src.sized)
                                clipPolyline(d, r.closed, clip, shape.rings);
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
                                if (src.sized) d = clipPolygon(d, clip);
                                if (d.size() >= 3) shape.rings.push_back(Ring { std::move(d), true });
                            }
                        }
                    }
                    if (!addShape(std::move(shape))) return false;
                }
                return true;
            }

            // --- elements ---

            double length(const xml::Node& node, std::string_view key, Axis axis, const Viewport& vp,
                const Style& s, double fallback)
            {
                const std::string* text = node.attribute(key);
                double v = fallback;
                if (text && !parseLength(*text, axis, vp, s.fontSize, v)) {
                    badData(node, "bad length " + std::string(key) + "=\"" + *text + "\"");
                    v = fallback;
                }
                return v;
            }

            void ellipse(std::vector<PathCommand>& cmds, double cx, double cy, double rx, double ry)
            {
                PathCommand m;
                m.kind = PathCommand::Move;
                m.p[0] = { cx + rx, cy };
                cmds.push_back(m);
                appendArc(cmds, { cx + rx, cy }, rx, ry, 0, false, true, { cx, cy + ry });
                appendArc(cmds, { cx, cy + ry }, rx, ry, 0, false, true, { cx - rx, cy });
                appendArc(cmds, { cx - rx, cy }, rx, ry, 0, false, true, { cx, cy - ry });
                appendArc(cmds, { cx, cy - ry }, rx, ry, 0, false, true, { cx + rx, cy });
                PathCommand z;
                z.kind = PathCommand::Close;
                cmds.push_back(z);
            }

            // The commands of a basic shape or path; false when it draws nothing.
            bool shapeCommands(
                const xml::Node& node, const Style& s, const Viewport& vp, std::vector<PathCommand>& cmds)
            {
                const std::string& n = node.name;
                auto move = [&](Vec2 p) {
                    PathCommand c;
                    c.kind = PathCommand::Move;
                    c.p[0] = p;
                    cmds.push_back(c);
                };
                auto line = [&](Vec2 p) {
                    PathCommand c;
                    c.kind = PathCommand::Line;
                    c.p[0] = p;
                    cmds.push_back(c);
                };
                auto close = [&] {
                    PathCommand c;
                    c.kind = PathCommand::Close;
                    cmds.push_back(c);
                };
                if (n == "path") {
                    const std::string* d = node.attribute("d");
                    if (!d) return false;
                    const PathError e = parsePathData(*d, cmds, limits().maxPoints);
                    if (e.bound) return fail("more than " + std::to_string(limits().maxPoints) + " points");
                    if (!e.ok())
                        badData(node, "path data: " + e.reason + " at offset " + std::to_string(e.offset));
                } else if (n == "rect") {
                    const double x = length(node, "x", Axis::X, vp, s, 0),
                                 y = length(node, "y", Axis::Y, vp, s, 0);
                    const double w = length(node, "width", Axis::X, vp, s, 0),
                                 h = length(node, "height", Axis::Y, vp, s, 0);
                    if (!(w > 0) || !(h > 0)) return false;
                    double rx = length(node, "rx", Axis::X, vp, s, -1),
                           ry = length(node, "ry", Axis::Y, vp, s, -1);
                    if (rx < 0) rx = ry;
                    if (ry < 0) ry = rx;
                    rx = std::clamp(rx, 0.0, w / 2);
                    ry = std::clamp(ry, 0.0, h / 2);
                    if (rx > 0 && ry > 0) {
                        move({ x + rx, y });
                        line({ x + w - rx, y });
                        appendArc(cmds, { x + w - rx, y }, rx, ry, 0, false, true, { x + w, y + ry });
                        line({ x + w, y + h - ry });
                        appendArc(cmds, { x + w, y + h - ry }, rx, ry, 0, false, true, { x + w - rx, y + h });
                        line({ x + rx, y + h });
                        appendArc(cmds, { x + rx, y + h }, rx, ry, 0, false, true, { x, y + h - ry });
                        line({ x, y + ry });
                        appendArc(cmds, { x, y + ry }, rx, ry, 0, false, true, { x + rx, y });
                    } else {
                        move({ x, y });
                        line({ x + w, y });
                        line({ x + w, y + h });
                        line({ x, y + h });
                    }
                    close();
                } else if (n == "circle") {
                    const double r = length(node, "r", Axis::Other, vp, s, 0);
                    if (!(r > 0)) return false;
                    ellipse(cmds, length(node, "cx", Axis::X, vp, s, 0),
                        length(node, "cy", Axis::Y, vp, s, 0), r, r);
                } else if (n == "ellipse") {
                    double rx = length(node, "rx", Axis::X, vp, s, -1),
                           ry = length(node, "ry", Axis::Y, vp, s, -1);
                    // "auto" in one radius takes the other.
                    if (rx < 0) rx = ry;
                    if (ry < 0) ry = rx;
                    if (!(rx > 0) || !(ry > 0)) return false;
                    ellipse(cmds, length(node, "cx", Axis::X, vp, s, 0),
                        length(node, "cy", Axis::Y, vp, s, 0), rx, ry);
                } else if (n == "line") {
                    move({ length(node, "x1", Axis::X, vp, s, 0), length(node, "y1", Axis::Y, vp, s, 0) });
                    line({ length(node, "x2", Axis::X, vp, s, 0), length(node, "y2", Axis::Y, vp, s, 0) });
                } else if (n == "polyline" || n == "polygon") {
                    const std::string* text = node.attribute("points");
                    if (!text) return false;
                    std::vector<double> v;
                    if (!parseNumberList(*text, v) || v.size() % 2) badData(node, "bad points list");
                    if (v.size() < 4) return false;
                    if (!budget(v.size() / 2)) return false;
                    move({ v[0], v[1] });
                    for (std::size_t i = 2; i + 1 < v.size(); i += 2)
                        line({ v[i], v[i + 1] });
                    if (n == "polygon") close();
                } else {
                    return false;
                }
                return !cmds.empty();
            }

            // A new viewport (nested svg, or a symbol or svg drawn by use): the
            // transform into its viewBox and the viewport it sets for percentages.
            void enterViewport(
                const xml::Node& node, const Style& s, Matrix& ctm, Viewport& vp, const xml::Node* use)
            {
                auto pick = [&](std::string_view key) {
                    const std::string* v = use ? use->attribute(key) : nullptr;
                    return v ? v : node.attribute(key);
                };
                double x = 0, y = 0, w = vp.width, h = vp.height;
                if (const std::string* t = node.attribute("x"); t && node.name == "svg")
                    parseLength(*t, Axis::X, vp, s.fontSize, x);
                if (const std::string* t = node.attribute("y"); t && node.name == "svg")
                    parseLength(*t, Axis::Y, vp, s.fontSize, y);
                if (const std::string* t = pick("width")) parseLength(*t, Axis::X, vp, s.fontSize, w);
                if (const std::string* t = pick("height")) parseLength(*t, Axis::Y, vp, s.fontSize, h);
                const ViewBox box = parseViewBox(node.attribute("viewBox"));
                ctm = ctm * Matrix::translate(x, y)
                    * viewBoxTransform(box, w, h, node.attribute("preserveAspectRatio"));
                vp = box.present ? Viewport { box.width, box.height } : Viewport { w, h };
            }

            bool children(const xml::Node& node, const Style& s, const Matrix& ctm, const Viewport& vp,
                int depth, double alpha)
            {
                for (std::size_t c : node.children)
                    if (!element(c, s, ctm, vp, depth + 1, alpha, false)) return false;
                return true;
            }

            bool element(std::size_t index, const Style& parent, const Matrix& ctm, const Viewport& vp,
                int depth, double alpha, bool isRoot)
            {
                drawing.push_back(index);
                const bool ok = elementBody(index, parent, ctm, vp, depth, alpha, isRoot);
                drawing.pop_back();
                return ok;
            }

            bool elementBody(std::size_t index, const Style& parent, Matrix ctm, Viewport vp, int depth,
                double alpha, bool isRoot)
            {
                const xml::Node& node = src.doc.nodes[index];
                if (node.isText()) return true;
                if (depth > limits().maxDepth)
                    return fail("groups and references nested more than " + std::to_string(limits().maxDepth)
                        + " deep");
                if (++visits > limits().maxEntities)
                    return fail("more than " + std::to_string(limits().maxEntities)
                        + " elements to draw, references included");
                const std::string& n = node.name;
                // Elements that are never drawn where they stand.
                if (n == "defs" || n == "symbol" || n == "clipPath" || n == "mask" || n == "marker"
                    || n == "pattern" || n == "linearGradient" || n == "radialGradient" || n == "filter"
                    || n == "style" || n == "title" || n == "desc" || n == "metadata" || n == "foreignObject"
                    || n == "script" || n.starts_with("{"))
                    return true;
                const Style s = computeStyle(node, parent, vp);
                if (cascade > limits().maxPoints)
                    return fail("style rules tried on elements more than "
                        + std::to_string(limits().maxPoints) + " times");
                if (!s.display) return true;
                if (!isRoot) {
                    if (const std::string* t = node.attribute("transform")) {
                        Matrix m;
                        std::string why;
                        if (parseTransform(*t, m, why))
                            ctm = ctm * m;
                        else
                            badData(node, "transform: " + why);
                    }
                }
                const double groupAlpha = alpha * s.opacity;
                if (s.clipped && (n == "g" || n == "use" || n == "svg") && !isRoot) ++counts.clipped;
                if (n == "g" || n == "a" || isRoot) return children(node, s, ctm, vp, depth, groupAlpha);
                if (n == "switch") {
                    // The first child whose conditions hold; conditions on language
                    // and features are taken as holding.
                    for (std::size_t c : node.children)
                        if (!src.doc.nodes[c].isText())
                            return element(c, s, ctm, vp, depth + 1, groupAlpha, false);
                    return true;
                }
                if (n == "svg") {
                    enterViewport(node, s, ctm, vp, nullptr);
                    return children(node, s, ctm, vp, depth, groupAlpha);
                }
                if (n == "use") return use(node, s, ctm, vp, depth, groupAlpha);
                if (n == "text") return text(node, s, ctm, vp, groupAlpha);
                if (n == "image") {
                    if (s.visible) ++counts.images;
                    return true;
                }
                std::vector<PathCommand> cmds;
                if (!shapeCommands(node, s, vp, cmds)) return error.empty();
                return paintPath(cmds, s, ctm, groupAlpha);
            }

            // --- text ---

            struct TextRun {
                std::string text;
                bool hasX = false, hasY = false; // an absolute position starts a new chunk
                double x = 0, y = 0, dx = 0, dy = 0;
            };

            // The first number of a coordinate list attribute (x="1 2 3" places
            // only the first character there; the rest follow on).
            bool firstLength(const xml::Node& node, std::string_view key, Axis axis, const Viewport& vp,
                const Style& s, double& value)
            {
                const std::string* text = node.attribute(key);
                if (!text) return false;
                const std::string_view v = trim(*text);
                const std::size_t end = v.find_first_of(" ,\t\n\r");
                return parseLength(v.substr(0, end), axis, vp, s.fontSize, value);
            }

            void collectText(const xml::Node& node, const Style& s, const Viewport& vp,
                std::vector<TextRun>& runs, int depth)
            {
                for (std::size_t c : node.children) {
                    const xml::Node& child = src.doc.nodes[c];
                    if (child.isText()) {
                        runs.back().text += child.text;
                        continue;
                    }
                    if (child.name != "tspan" || depth > limits().maxDepth) continue;
                    const Style cs = computeStyle(child, s, vp);
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

            bool text(
                const xml::Node& node, const Style& s, const Matrix& ctm, const Viewport& vp, double alpha)
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
                        for (std::size_t j = i;
                             j < runs.size() && (j == i || !(runs[j].hasX || runs[j].hasY)); ++j)
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

            bool use(const xml::Node& node, const Style& s, Matrix ctm, Viewport vp, int depth, double alpha)
            {
                const std::string* href = node.attribute("href");
                if (!href) href = node.attribute("xlink:href");
                std::size_t target = 0;
                bool found = false;
                if (href && href->size() > 1 && (*href)[0] == '#') {
                    const auto it = src.ids.find(href->substr(1));
                    if (it != src.ids.end()) {
                        target = it->second;
                        // Circular: the target is the use itself or contains it.
                        found = std::find(drawing.begin(), drawing.end(), target) == drawing.end();
                    }
                }
                if (!found) {
                    ++counts.badReference;
                    return true;
                }
                ctm = ctm
                    * Matrix::translate(
                        length(node, "x", Axis::X, vp, s, 0), length(node, "y", Axis::Y, vp, s, 0));
                bool ok = true;
                const xml::Node& t = src.doc.nodes[target];
                if (t.name == "symbol" || t.name == "svg") {
                    const Style ts = computeStyle(t, s, vp);
                    if (ts.display) {
                        Matrix m = ctm;
                        if (const std::string* tr = t.attribute("transform"); tr && t.name == "symbol") {
                            Matrix tm;
                            std::string why;
                            if (parseTransform(*tr, tm, why)) m = m * tm;
                        }
                        enterViewport(t, ts, m, vp, &node);
                        drawing.push_back(target);
                        ok = children(t, ts, m, vp, depth + 1, alpha * ts.opacity);
                        drawing.pop_back();
                    }
                } else {
                    ok = element(target, s, ctm, vp, depth + 1, alpha, false);
                }
                return ok;
            }
        };

    } // namespace

    bool SvgSource::prepare(std::string& error)
    {
        const xml::Node& root = doc.nodes[0];
        if (root.name != "svg") {
            error = name + ": not an SVG drawing (the root element is <" + root.name + ">)";
            return false;
        }
        for (std::size_t i = 0; i < doc.nodes.size(); ++i) {
            const xml::Node& n = doc.nodes[i];
            if (n.isText()) continue;
            if (const std::string* id = n.attribute("id")) ids.emplace(*id, i);
            if (n.name == "style")
                for (std::size_t c : n.children)
                    sheet.parse(doc.nodes[c].text);
        }
        if (sheet.skippedSelectors)
            readWarnings.push_back(std::to_string(sheet.skippedSelectors)
                + " style sheet selector(s) beyond type, class and id left out");

        const ViewBox viewBox = parseViewBox(root.attribute("viewBox"));
        const ViewBox& vb = viewBox;
        const Viewport initial { vb.present ? vb.width : 100, vb.present ? vb.height : 100 };
        double width = -1, height = -1;
        const std::string* w = root.attribute("width");
        const std::string* h = root.attribute("height");
        // Percentages of an unknown window mean the viewBox size here.
        if (w && trim(*w).ends_with("%")) w = nullptr;
        if (h && trim(*h).ends_with("%")) h = nullptr;
        if (w && !(parseLength(*w, Axis::X, initial, DEFAULT_FONT_SIZE, width) && width > 0)) {
            readWarnings.push_back("bad width \"" + *w + "\" ignored");
            width = -1;
        }
        if (h && !(parseLength(*h, Axis::Y, initial, DEFAULT_FONT_SIZE, height) && height > 0)) {
            readWarnings.push_back("bad height \"" + *h + "\" ignored");
            height = -1;
        }
        if (vb.present) {
            // A missing side follows the viewBox's proportions.
            if (width < 0 && height < 0) {
                width = vb.width;
                height = vb.height;
            } else if (width < 0) {
                width = height * vb.width / vb.height;
            } else if (height < 0) {
                height = width * vb.height / vb.width;
            }
        }
        if (width > 0 && height > 0) {
            rootViewport = vb.present ? Viewport { vb.width, vb.height } : Viewport { width, height };
            // y grows upward in the drawing: flip inside the viewport.
            rootMatrix = Matrix { 1, 0, 0, -1, 0, height }
                * viewBoxTransform(vb, width, height, root.attribute("preserveAspectRatio"));
            this->box.add(Vec2 { 0, 0 });
            this->box.add(Vec2 { width, height });
            return true;
        }
        // Without a size the drawing is as large as what it draws.
        sized = false;
        rootMatrix = Matrix { 1, 0, 0, -1, 0, 0 };
        readWarnings.push_back("no width, height or viewBox: the slide shows everything drawn");
        Drawing probe;
        std::string probeError;
        const Grid probeGrid { 1, 0.5 }; // the walker keeps a reference to its grid
        Walker walker(*this, probeGrid, probe, probeError);
        if (!walker.run()) {
            error = probeError;
            return false;
        }
        this->box = probe.extents();
        // A finer grid flattens curves a little differently; what strays past
        // the probe's box by that much is cut, so the extents hold at any grid.
        sized = true;
        return true;
    }

    bool SvgSource::draw(const Grid& grid, Drawing& out, std::string& error) const
    {
        Walker walker(*this, grid, out, error);
        return walker.run();
    }

} // namespace svg

OpenResult openSvgBytes(std::string_view bytes, const std::string& name, const Options& options)
{
    OpenResult result;
    auto source = std::make_unique<svg::SvgSource>();
    source->name = name;
    source->options = options;
    if (bytes.size() > options.limits.maxFileBytes) {
        result.error = name + ": larger than " + std::to_string(options.limits.maxFileBytes) + " bytes";
        return result;
    }
    xml::ReadLimits xmlLimits;
    xmlLimits.maxNodes = options.limits.maxEntities;
    std::string why;
    if (!xml::readDocument(bytes, xmlLimits, source->doc, why)) {
        result.error = name + ": not a readable SVG drawing: " + why;
        return result;
    }
    if (!source->prepare(result.error)) return result;
    result.source = std::move(source);
    return result;
}

OpenResult openSvg(const std::string& path, const Options& options)
{
    OpenResult result;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        result.error = path + ": cannot open: " + std::strerror(errno);
        return result;
    }
    std::string bytes;
    char buffer[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes.append(buffer, n);
        if (bytes.size() > options.limits.maxFileBytes) {
            std::fclose(f);
            result.error = path + ": larger than " + std::to_string(options.limits.maxFileBytes) + " bytes";
            return result;
        }
    }
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError) {
        result.error = path + ": cannot read: " + std::strerror(errno);
        return result;
    }
    return openSvgBytes(bytes, path, options);
}

} // namespace qorvan::import
