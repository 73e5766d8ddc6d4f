// The cascade of SVG paint and text properties: presentation attributes,
// then style sheet rules, then the style attribute, each over what the
// parent element passes down.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import/drawing.h"
#include "import/svg_color.h"
#include "import/svg_css.h"
#include "import/svg_length.h"
#include "import/svg_stroke.h"
#include "import/xml_tree.h"

namespace qorvan::import::svg {

inline constexpr double DEFAULT_FONT_SIZE = 16;

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
    // The ids of the markers at a path's first, middle and last vertices;
    // empty for none.
    std::string markerStart, markerMid, markerEnd;
    // Not inherited: reset for every element.
    double opacity = 1;
    bool display = true;
    bool clipped = false;
    bool filtered = false;
    bool overflowVisible = false; // a viewport (nested svg, symbol, marker) then does not clip
    std::string transformOrigin; // as written; empty: the origin

    Style()
    {
        fill.kind = Paint::Color;
        stroke.kind = Paint::None;
    }
};

// One property's value over s; parent answers "inherit". Values that do not
// parse leave s as it was.
void applyProperty(
    Style& s, const Style& parent, std::string_view prop, std::string_view value, const Viewport& vp);

// The element's style: parent's inherited properties, the non-inherited ones
// reset, then the element's own in cascade order. cascade counts the rules
// tried and the declarations applied, for the caller's bound.
Style computeStyle(const xml::Node& node, const Style& parent, const Viewport& vp, const StyleSheet& sheet,
    std::size_t& cascade);

} // namespace qorvan::import::svg
