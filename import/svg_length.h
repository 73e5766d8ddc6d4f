// Lengths and viewports of SVG: units resolved to user units against the
// viewport that percentages refer to, and the viewBox that maps one
// coordinate system into another.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import/svg_transform.h"

namespace qorvan::import::svg {

struct Viewport {
    double width = 100, height = 100;
};

enum class Axis { X, Y, Other };

// A length with its unit resolved to user units; false when text is not one.
bool parseLength(std::string_view text, Axis axis, const Viewport& vp, double fontSize, double& out);

// Numbers separated by white space or commas, appended to out; false at the
// first that is not a number.
bool parseNumberList(std::string_view text, std::vector<double>& out);

struct ViewBox {
    double x = 0, y = 0, width = 0, height = 0;
    bool present = false;
};

// Absent (not present) unless text holds four numbers with a positive size.
ViewBox parseViewBox(const std::string* text);

// The transform that puts a viewBox into a viewport of width by height,
// following preserveAspectRatio.
Matrix viewBoxTransform(const ViewBox& box, double width, double height, const std::string* aspect);

// transform-origin: one or two of left, center, right, top, bottom, a
// length or a percentage of the viewport (the third, z, is read past);
// false when text is none of these.
bool parseTransformOrigin(std::string_view text, const Viewport& vp, double fontSize, Vec2& out);

} // namespace qorvan::import::svg
