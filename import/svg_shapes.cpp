// The basic shapes (rect, circle, ellipse, line, polyline, polygon) and
// path data, as path commands in user space.
#include "import/svg_walker.h"

#include <algorithm>
#include <cmath>

namespace qorvan::import::svg {

double Walker::length(const xml::Node& node, std::string_view key, Axis axis, const Viewport& vp,
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

void Walker::ellipse(std::vector<PathCommand>& cmds, double cx, double cy, double rx, double ry)
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
bool Walker::shapeCommands(
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
        if (!e.ok()) badData(node, "path data: " + e.reason + " at offset " + std::to_string(e.offset));
    } else if (n == "rect") {
        const double x = length(node, "x", Axis::X, vp, s, 0), y = length(node, "y", Axis::Y, vp, s, 0);
        const double w = length(node, "width", Axis::X, vp, s, 0),
                     h = length(node, "height", Axis::Y, vp, s, 0);
        if (!(w > 0) || !(h > 0)) return false;
        double rx = length(node, "rx", Axis::X, vp, s, -1), ry = length(node, "ry", Axis::Y, vp, s, -1);
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
        ellipse(cmds, length(node, "cx", Axis::X, vp, s, 0), length(node, "cy", Axis::Y, vp, s, 0), r, r);
    } else if (n == "ellipse") {
        double rx = length(node, "rx", Axis::X, vp, s, -1), ry = length(node, "ry", Axis::Y, vp, s, -1);
        // "auto" in one radius takes the other.
        if (rx < 0) rx = ry;
        if (ry < 0) ry = rx;
        if (!(rx > 0) || !(ry > 0)) return false;
        ellipse(cmds, length(node, "cx", Axis::X, vp, s, 0), length(node, "cy", Axis::Y, vp, s, 0), rx, ry);
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

} // namespace qorvan::import::svg
