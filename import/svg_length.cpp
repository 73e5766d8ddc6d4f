#include "import/svg_length.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "import/svg_number.h"
#include "import/svg_text.h"

namespace qorvan::import::svg {

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

bool parseTransformOrigin(std::string_view text, const Viewport& vp, double fontSize, Vec2& out)
{
    std::vector<std::string_view> words;
    text = trim(text);
    while (!text.empty()) {
        std::size_t end = 0;
        while (end < text.size() && !isSpace(text[end]))
            ++end;
        words.push_back(text.substr(0, end));
        text = trim(text.substr(end));
    }
    if (words.empty() || words.size() > 3) return false;
    auto horizontal = [](std::string_view w) { return w == "left" || w == "right"; };
    auto vertical = [](std::string_view w) { return w == "top" || w == "bottom"; };
    auto value = [&](std::string_view w, Axis axis, double& v) {
        const double side = axis == Axis::X ? vp.width : vp.height;
        if (w == "center")
            v = side / 2;
        else if (w == "left" || w == "top")
            v = 0;
        else if (w == "right" || w == "bottom")
            v = side;
        else
            return parseLength(w, axis, vp, fontSize, v);
        return true;
    };
    std::string_view first = words[0], second = words.size() > 1 ? words[1] : "center";
    // Keywords name their axis whatever their order; lengths go x, then y.
    if (vertical(first) || horizontal(second)) std::swap(first, second);
    if (vertical(first) || horizontal(second)) return false;
    return value(first, Axis::X, out.x) && value(second, Axis::Y, out.y);
}

} // namespace qorvan::import::svg
