// Markers: the marker element's content drawn at a path's vertices, turned
// along the path where orient asks, scaled by the stroke width where
// markerUnits asks, and cut to the marker's viewport.
#include "import/svg_walker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "import/svg_number.h"
#include "import/svg_text.h"

namespace qorvan::import::svg {

namespace {

    struct Vertex {
        Vec2 at;
        double angle = 0; // degrees, in user space (y down)
    };

    double angleOf(Vec2 d)
    {
        return std::atan2(d.y, d.x) * 180 / std::numbers::pi;
    }

    // Halfway between the direction in and the direction out, the short way.
    double bisect(double in, double out)
    {
        double d = out - in;
        while (d > 180)
            d -= 360;
        while (d < -180)
            d += 360;
        return in + d / 2;
    }

    struct Segment {
        Vec2 end;
        double in = 0, out = 0; // direction at its start and at its end
    };

    // The first direction that is not zero, or 0 when the piece is a point.
    double direction(std::initializer_list<Vec2> candidates)
    {
        for (Vec2 d : candidates)
            if (d.x != 0 || d.y != 0) return angleOf(d);
        return 0;
    }

    // Where a path's markers go: the start of each subpath and the end of
    // each of its segments, the pieces of one arc being one segment.
    std::vector<Vertex> vertices(const std::vector<PathCommand>& cmds)
    {
        struct Subpath {
            Vec2 start;
            std::vector<Segment> segments;
            bool closed = false;
        };
        std::vector<Subpath> paths;
        Vec2 current;
        auto open = [&] {
            if (paths.empty() || paths.back().closed) paths.push_back({ current, {}, false });
        };
        for (const PathCommand& c : cmds) {
            switch (c.kind) {
            case PathCommand::Move:
                current = c.p[0];
                paths.push_back({ current, {}, false });
                break;
            case PathCommand::Line: {
                open();
                const Vec2 d { c.p[0].x - current.x, c.p[0].y - current.y };
                const double a = direction({ d });
                paths.back().segments.push_back({ c.p[0], a, a });
                current = c.p[0];
                break;
            }
            case PathCommand::Cubic: {
                open();
                const Vec2 p0 = current, p1 = c.p[0], p2 = c.p[1], p3 = c.p[2];
                const double in = direction({ { p1.x - p0.x, p1.y - p0.y }, { p2.x - p0.x, p2.y - p0.y },
                    { p3.x - p0.x, p3.y - p0.y } });
                const double out = direction({ { p3.x - p2.x, p3.y - p2.y }, { p3.x - p1.x, p3.y - p1.y },
                    { p3.x - p0.x, p3.y - p0.y } });
                std::vector<Segment>& segs = paths.back().segments;
                if (c.continues && !segs.empty()) {
                    segs.back().end = p3;
                    segs.back().out = out;
                } else {
                    segs.push_back({ p3, in, out });
                }
                current = p3;
                break;
            }
            case PathCommand::Close:
                if (paths.empty()) break;
                {
                    Subpath& sp = paths.back();
                    const Vec2 d { sp.start.x - current.x, sp.start.y - current.y };
                    const double a = sp.segments.empty() ? 0 : direction({ d });
                    sp.segments.push_back({ sp.start, a, a });
                    sp.closed = true;
                    current = sp.start;
                }
                break;
            }
        }
        std::vector<Vertex> out;
        for (const Subpath& sp : paths) {
            const auto& segs = sp.segments;
            if (segs.empty()) {
                out.push_back({ sp.start, 0 });
                continue;
            }
            out.push_back(
                { sp.start, sp.closed ? bisect(segs.back().out, segs.front().in) : segs.front().in });
            for (std::size_t k = 0; k < segs.size(); ++k) {
                double a = segs[k].out;
                if (k + 1 < segs.size())
                    a = bisect(segs[k].out, segs[k + 1].in);
                else if (sp.closed)
                    a = bisect(segs[k].out, segs.front().in);
                out.push_back({ segs[k].end, a });
            }
        }
        return out;
    }

} // namespace

bool Walker::markers(const std::vector<PathCommand>& cmds, const Style& s, const Matrix& ctm,
    const Viewport& vp, int depth, double alpha)
{
    if (!s.visible || (s.markerStart.empty() && s.markerMid.empty() && s.markerEnd.empty())) return true;
    const std::vector<Vertex> at = vertices(cmds);
    if (at.empty()) return true;
    for (std::size_t i = 0; i < at.size(); ++i) {
        const bool first = i == 0, last = i + 1 == at.size();
        // One vertex is both the start and the end: both markers go there.
        if (first && !s.markerStart.empty()
            && !marker(s.markerStart, at[i].at, at[i].angle, true, s, ctm, vp, depth, alpha))
            return false;
        if (!first && !last && !s.markerMid.empty()
            && !marker(s.markerMid, at[i].at, at[i].angle, false, s, ctm, vp, depth, alpha))
            return false;
        if (last && !s.markerEnd.empty()
            && !marker(s.markerEnd, at[i].at, at[i].angle, false, s, ctm, vp, depth, alpha))
            return false;
    }
    return true;
}

bool Walker::marker(const std::string& id, Vec2 at, double angle, bool atStart, const Style& s,
    const Matrix& ctm, const Viewport& vp, int depth, double alpha)
{
    const auto it = src.ids.find(id);
    if (it == src.ids.end() || src.doc.nodes[it->second].name != "marker"
        || std::find(drawing.begin(), drawing.end(), it->second) != drawing.end()) {
        ++counts.badReference;
        return true;
    }
    const xml::Node& node = src.doc.nodes[it->second];
    // The marker's content inherits from the marker, not from the path.
    const Style ms = computeStyle(node, Style {}, vp, src.sheet, cascade);
    if (!ms.display) return true;
    const double width = length(node, "markerWidth", Axis::X, vp, ms, 3);
    const double height = length(node, "markerHeight", Axis::Y, vp, ms, 3);
    if (!(width > 0) || !(height > 0)) return true;
    const std::string* units = node.attribute("markerUnits");
    const double scale = units && trim(*units) == "userSpaceOnUse" ? 1 : s.strokeWidth;
    double turn = 0;
    if (const std::string* orient = node.attribute("orient")) {
        const std::string_view o = trim(*orient);
        double v = 0;
        std::size_t used = 0;
        if (o == "auto")
            turn = angle;
        else if (o == "auto-start-reverse")
            turn = atStart ? angle + 180 : angle;
        else if (scanNumber(o, v, used) == NumberScan::Ok
            && (used == o.size() || trim(o.substr(used)) == "deg"))
            turn = v;
    }
    const ViewBox box = parseViewBox(node.attribute("viewBox"));
    const Matrix inBox = viewBoxTransform(box, width, height, node.attribute("preserveAspectRatio"));
    const Vec2 ref
        = inBox.apply({ length(node, "refX", Axis::X, vp, ms, 0), length(node, "refY", Axis::Y, vp, ms, 0) });
    const Matrix place = ctm * Matrix::translate(at.x, at.y) * Matrix::rotate(turn)
        * Matrix::scale(scale, scale) * Matrix::translate(-ref.x, -ref.y);
    const std::optional<Rect> outerClip = clip_;
    if (!ms.overflowVisible) clipToViewport(place, width, height);
    const Viewport inner = box.present ? Viewport { box.width, box.height } : Viewport { width, height };
    drawing.push_back(it->second);
    const bool ok = children(node, ms, place * inBox, inner, depth + 1, alpha * ms.opacity);
    drawing.pop_back();
    clip_ = outerClip;
    return ok;
}

} // namespace qorvan::import::svg
