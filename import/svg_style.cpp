#include "import/svg_style.h"

#include <algorithm>

#include "import/svg_number.h"
#include "import/svg_text.h"

namespace qorvan::import::svg {

void applyProperty(
    Style& s, const Style& parent, std::string_view prop, std::string_view value, const Viewport& vp)
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
                if (!parseLength(value.substr(pos, end - pos), Axis::Other, vp, s.fontSize, v) || v < 0) {
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
    } else if (prop == "filter") {
        s.filtered = inherit ? parent.filtered : value != "none" && !value.empty();
    } else if (prop == "overflow") {
        if (value == "visible" || value == "auto")
            s.overflowVisible = true;
        else if (value == "hidden" || value == "scroll")
            s.overflowVisible = false;
        else if (inherit)
            s.overflowVisible = parent.overflowVisible;
    } else if (prop == "transform-origin") {
        s.transformOrigin = inherit ? parent.transformOrigin : std::string(value);
    } else if (prop == "marker-start" || prop == "marker-mid" || prop == "marker-end" || prop == "marker") {
        std::string id;
        if (inherit) {
            id = prop == "marker-mid"  ? parent.markerMid
                : prop == "marker-end" ? parent.markerEnd
                                       : parent.markerStart;
        } else if (value.starts_with("url(") && value.ends_with(")")) {
            std::string_view inner = trim(value.substr(4, value.size() - 5));
            if (inner.size() >= 2 && (inner.front() == '"' || inner.front() == '\'')
                && inner.back() == inner.front())
                inner = inner.substr(1, inner.size() - 2);
            if (inner.starts_with("#")) id = std::string(inner.substr(1));
        } else if (value != "none") {
            return; // not a marker reference: the property keeps its value
        }
        if (prop == "marker-start" || prop == "marker") s.markerStart = id;
        if (prop == "marker-mid" || prop == "marker") s.markerMid = id;
        if (prop == "marker-end" || prop == "marker") s.markerEnd = id;
    }
}

Style computeStyle(const xml::Node& node, const Style& parent, const Viewport& vp, const StyleSheet& sheet,
    std::size_t& cascade)
{
    Style s = parent;
    s.opacity = 1;
    s.display = true;
    s.clipped = false;
    s.filtered = false;
    s.overflowVisible = false;
    s.transformOrigin.clear();
    // font-size first: lengths in em depend on it.
    if (const std::string* fs = node.attribute("font-size")) applyProperty(s, parent, "font-size", *fs, vp);
    for (const auto& [key, value] : node.attributes)
        if (key != "style" && key != "font-size") applyProperty(s, parent, key, value, vp);
    if (!sheet.rules.empty()) {
        const std::string* id = node.attribute("id");
        const std::string* cls = node.attribute("class");
        for (const Rule* r : sheet.match(node.name, id ? *id : "", cls ? *cls : "", &cascade)) {
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

} // namespace qorvan::import::svg
