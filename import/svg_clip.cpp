#include "import/svg_clip.h"

namespace qorvan::import::svg {
namespace {

    bool inside(Vec2 p, const Rect& r)
    {
        return p.x >= r.minX && p.x <= r.maxX && p.y >= r.minY && p.y <= r.maxY;
    }

    bool allInside(const std::vector<Vec2>& pts, const Rect& r)
    {
        for (Vec2 p : pts)
            if (!inside(p, r)) return false;
        return true;
    }

    // One side of the rectangle: which points are in, and where an edge
    // crosses it.
    struct Edge {
        int axis; // 0: x, 1: y
        double value; // the side's coordinate
        bool keepBelow;

        bool in(Vec2 p) const
        {
            const double v = axis == 0 ? p.x : p.y;
            return keepBelow ? v <= value : v >= value;
        }
        Vec2 cross(Vec2 a, Vec2 b) const
        {
            const double av = axis == 0 ? a.x : a.y, bv = axis == 0 ? b.x : b.y;
            const double t = (value - av) / (bv - av);
            Vec2 p { a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t };
            (axis == 0 ? p.x : p.y) = value; // exactly on the side despite rounding
            return p;
        }
    };

} // namespace

std::vector<Vec2> clipPolygon(const std::vector<Vec2>& polygon, const Rect& r)
{
    if (allInside(polygon, r)) return polygon;
    const Edge edges[4]
        = { { 0, r.minX, false }, { 0, r.maxX, true }, { 1, r.minY, false }, { 1, r.maxY, true } };
    std::vector<Vec2> in = polygon, out;
    for (const Edge& e : edges) {
        out.clear();
        for (std::size_t i = 0; i < in.size(); ++i) {
            const Vec2 a = in[(i + in.size() - 1) % in.size()], b = in[i];
            const bool ain = e.in(a), bin = e.in(b);
            if (bin) {
                if (!ain) out.push_back(e.cross(a, b));
                out.push_back(b);
            } else if (ain) {
                out.push_back(e.cross(a, b));
            }
        }
        std::swap(in, out);
        if (in.empty()) break;
    }
    return in;
}

void clipPolyline(const std::vector<Vec2>& line, bool closed, const Rect& r, std::vector<Ring>& out)
{
    if (line.empty()) return;
    if (allInside(line, r)) {
        out.push_back(Ring { line, closed });
        return;
    }
    std::vector<Vec2> pts = line;
    if (closed) pts.push_back(line.front());
    const std::size_t first = out.size();
    Ring current;
    auto flush = [&] {
        if (current.points.size() > 1) out.push_back(std::move(current));
        current = Ring {};
    };
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        // Liang-Barsky: the parameter range of the segment inside r.
        const Vec2 a = pts[i], b = pts[i + 1];
        const double dx = b.x - a.x, dy = b.y - a.y;
        double t0 = 0, t1 = 1;
        const double p[4] = { -dx, dx, -dy, dy };
        const double q[4] = { a.x - r.minX, r.maxX - a.x, a.y - r.minY, r.maxY - a.y };
        bool visible = true;
        for (int k = 0; k < 4 && visible; ++k) {
            if (p[k] == 0) {
                if (q[k] < 0) visible = false;
            } else {
                const double t = q[k] / p[k];
                if (p[k] < 0) {
                    if (t > t1)
                        visible = false;
                    else if (t > t0)
                        t0 = t;
                } else {
                    if (t < t0)
                        visible = false;
                    else if (t < t1)
                        t1 = t;
                }
            }
        }
        if (!visible) {
            flush();
            continue;
        }
        const Vec2 s { a.x + dx * t0, a.y + dy * t0 }, e { a.x + dx * t1, a.y + dy * t1 };
        if (t0 > 0 || current.points.empty()) {
            flush();
            current.points.push_back(s);
        }
        current.points.push_back(e);
        if (t1 < 1) flush();
    }
    flush();
    // A closed ring that starts inside: its last piece runs on into its
    // first, so they are one line.
    if (closed && out.size() - first >= 2) {
        Ring& head = out[first];
        Ring& tail = out.back();
        const Vec2 s = line.front();
        if (head.points.front().x == s.x && head.points.front().y == s.y && tail.points.back().x == s.x
            && tail.points.back().y == s.y) {
            tail.points.insert(tail.points.end(), head.points.begin() + 1, head.points.end());
            out.erase(out.begin() + static_cast<std::ptrdiff_t>(first));
        }
    }
}

} // namespace qorvan::import::svg
