// The element tree: groups, switch, nested viewports and use, each element's
// style and transform passed down to what it holds.
#include "import/svg_walker.h"

#include <algorithm>
#include <cmath>

#include "import/svg_text.h"

namespace qorvan::import::svg {

Walker::Walker(const SvgSource& source, const Grid& at, Drawing& sink, std::string& failure)
    : src(source)
    , grid(at)
    , out(sink)
    , error(failure)
{
}

bool Walker::run()
{
    Style root;
    if (src.sized) clip_ = Rect { src.box.minX, src.box.minY, src.box.maxX, src.box.maxY };
    const bool ok = element(0, root, src.rootMatrix, src.rootViewport, 0, 1.0, true);
    summarize();
    return ok;
}

bool Walker::fail(std::string why)
{
    error = src.name + ": " + std::move(why);
    return false;
}

void Walker::summarize()
{
    auto warn = [&](std::size_t n, const std::string& what) {
        if (n) out.warnings.push_back(std::to_string(n) + " " + what);
    };
    warn(counts.translucent, "shape(s) more than half transparent left out (a slide has no transparency)");
    warn(counts.clipped, "clip path(s) or mask(s) ignored: the shapes are drawn whole");
    if (counts.text)
        out.warnings.push_back(std::to_string(counts.text) + " text element(s) left out: " + src.fontError);
    warn(counts.filtered, "filter(s) left out: the shapes are drawn without their effect");
    warn(counts.images, "embedded image(s) left out: a slide holds only lines and fills");
    warn(counts.badPaint, "paint(s) referring to a pattern or a missing element left out");
    warn(counts.fineDashes, "dashed stroke(s) drawn solid: the pattern repeats within a dot of the slide");
    warn(counts.outOfRange, "ring(s) with coordinates beyond the range of numbers left out");
    warn(counts.badReference, "use element(s) referring to a missing element or to themselves left out");
    if (counts.badData) {
        out.warnings.push_back(std::to_string(counts.badData)
            + " element(s) with bad data drawn up to the fault; first: " + counts.firstBadData);
    }
}

void Walker::badData(const xml::Node& node, const std::string& what)
{
    if (counts.badData++ == 0) counts.firstBadData = "line " + std::to_string(node.line) + ": " + what;
}

// A new viewport (nested svg, or a symbol or svg drawn by use): the
// transform into its viewBox and the viewport it sets for percentages.
void Walker::enterViewport(
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
    const Matrix outer = ctm * Matrix::translate(x, y);
    if (!s.overflowVisible) clipToViewport(outer, w, h);
    ctm = outer * viewBoxTransform(box, w, h, node.attribute("preserveAspectRatio"));
    vp = box.present ? Viewport { box.width, box.height } : Viewport { w, h };
}

// The viewport's box in drawing units cuts what is drawn inside it. Under a
// rotation or skew the box is the bounds of the turned viewport, which holds
// more than the viewport itself: drawing a little too much beats cutting
// into what the viewport shows.
void Walker::clipToViewport(const Matrix& m, double width, double height)
{
    Rect r { 0, 0, 0, 0 };
    bool first = true;
    for (Vec2 corner : { Vec2 { 0, 0 }, Vec2 { width, 0 }, Vec2 { width, height }, Vec2 { 0, height } }) {
        const Vec2 q = m.apply(corner);
        if (!std::isfinite(q.x) || !std::isfinite(q.y)) return;
        if (first) {
            r = { q.x, q.y, q.x, q.y };
            first = false;
        }
        r.minX = std::min(r.minX, q.x);
        r.minY = std::min(r.minY, q.y);
        r.maxX = std::max(r.maxX, q.x);
        r.maxY = std::max(r.maxY, q.y);
    }
    if (clip_) {
        r.minX = std::max(r.minX, clip_->minX);
        r.minY = std::max(r.minY, clip_->minY);
        r.maxX = std::min(r.maxX, clip_->maxX);
        r.maxY = std::min(r.maxY, clip_->maxY);
    }
    clip_ = r;
}

bool Walker::children(
    const xml::Node& node, const Style& s, const Matrix& ctm, const Viewport& vp, int depth, double alpha)
{
    for (std::size_t c : node.children)
        if (!element(c, s, ctm, vp, depth + 1, alpha, false)) return false;
    return true;
}

bool Walker::element(std::size_t index, const Style& parent, const Matrix& ctm, const Viewport& vp, int depth,
    double alpha, bool isRoot)
{
    drawing.push_back(index);
    const bool ok = elementBody(index, parent, ctm, vp, depth, alpha, isRoot);
    drawing.pop_back();
    return ok;
}

bool Walker::elementBody(
    std::size_t index, const Style& parent, Matrix ctm, Viewport vp, int depth, double alpha, bool isRoot)
{
    const xml::Node& node = src.doc.nodes[index];
    if (node.isText()) return true;
    if (depth > limits().maxDepth)
        return fail("groups and references nested more than " + std::to_string(limits().maxDepth) + " deep");
    if (++visits > limits().maxEntities)
        return fail(
            "more than " + std::to_string(limits().maxEntities) + " elements to draw, references included");
    const std::string& n = node.name;
    // Elements that are never drawn where they stand.
    if (n == "defs" || n == "symbol" || n == "clipPath" || n == "mask" || n == "marker" || n == "pattern"
        || n == "linearGradient" || n == "radialGradient" || n == "filter" || n == "style" || n == "title"
        || n == "desc" || n == "metadata" || n == "foreignObject" || n == "script" || n.starts_with("{"))
        return true;
    const Style s = computeStyle(node, parent, vp, src.sheet, cascade);
    if (cascade > limits().maxPoints)
        return fail(
            "style rules tried on elements more than " + std::to_string(limits().maxPoints) + " times");
    if (!s.display) return true;
    if (!isRoot) {
        if (const std::string* t = node.attribute("transform")) {
            Matrix m;
            std::string why;
            if (parseTransform(*t, m, why))
                ctm = ctm * withOrigin(m, node, s, vp);
            else
                badData(node, "transform: " + why);
        }
    }
    const double groupAlpha = alpha * s.opacity;
    if (s.filtered && s.visible) ++counts.filtered;
    if (s.clipped && (n == "g" || n == "use" || n == "svg") && !isRoot) ++counts.clipped;
    if (n == "g" || n == "a" || isRoot) return children(node, s, ctm, vp, depth, groupAlpha);
    if (n == "switch") {
        // The first child whose conditions hold; conditions on language
        // and features are taken as holding.
        for (std::size_t c : node.children)
            if (!src.doc.nodes[c].isText()) return element(c, s, ctm, vp, depth + 1, groupAlpha, false);
        return true;
    }
    if (n == "svg") {
        const std::optional<Rect> outerClip = clip_;
        enterViewport(node, s, ctm, vp, nullptr);
        const bool ok = children(node, s, ctm, vp, depth, groupAlpha);
        clip_ = outerClip;
        return ok;
    }
    if (n == "use") return use(node, s, ctm, vp, depth, groupAlpha);
    if (n == "text") return text(node, s, ctm, vp, groupAlpha);
    if (n == "image") {
        if (s.visible) ++counts.images;
        return true;
    }
    std::vector<PathCommand> cmds;
    if (!shapeCommands(node, s, vp, cmds)) return error.empty();
    if (!paintPath(cmds, s, ctm, groupAlpha)) return false;
    if (n == "path" || n == "line" || n == "polyline" || n == "polygon")
        return markers(cmds, s, ctm, vp, depth, groupAlpha);
    return true;
}

// transform-origin moves the point the element's transform turns and
// scales about; percentages are of the viewport, the box SVG elements
// take by default.
Matrix Walker::withOrigin(const Matrix& m, const xml::Node& node, const Style& s, const Viewport& vp)
{
    if (s.transformOrigin.empty()) return m;
    Vec2 o;
    if (!parseTransformOrigin(s.transformOrigin, vp, s.fontSize, o)) {
        badData(node, "transform-origin \"" + s.transformOrigin + "\"");
        return m;
    }
    return Matrix::translate(o.x, o.y) * m * Matrix::translate(-o.x, -o.y);
}

bool Walker::use(const xml::Node& node, const Style& s, Matrix ctm, Viewport vp, int depth, double alpha)
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
    ctm = ctm * Matrix::translate(length(node, "x", Axis::X, vp, s, 0), length(node, "y", Axis::Y, vp, s, 0));
    bool ok = true;
    const xml::Node& t = src.doc.nodes[target];
    if (t.name == "symbol" || t.name == "svg") {
        const Style ts = computeStyle(t, s, vp, src.sheet, cascade);
        if (ts.display) {
            Matrix m = ctm;
            if (const std::string* tr = t.attribute("transform"); tr && t.name == "symbol") {
                Matrix tm;
                std::string why;
                if (parseTransform(*tr, tm, why)) m = m * tm;
            }
            const std::optional<Rect> outerClip = clip_;
            enterViewport(t, ts, m, vp, &node);
            drawing.push_back(target);
            ok = children(t, ts, m, vp, depth + 1, alpha * ts.opacity);
            drawing.pop_back();
            clip_ = outerClip;
        }
    } else {
        ok = element(target, s, ctm, vp, depth + 1, alpha, false);
    }
    return ok;
}

} // namespace qorvan::import::svg
