#include "slide/writer.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <utility>

#include "slide/format.h"
#include "slide/records.h"

namespace qorvan::slide {

namespace {

    bool fitsByte(std::int32_t v)
    {
        return v >= -128 && v <= 127;
    }

    std::int8_t delta(std::int32_t v)
    {
        return static_cast<std::int8_t>(v);
    }

    double cross(PointF o, PointF a, PointF b)
    {
        return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
    }

    // A simple convex ring: every turn one way and the walk goes round once.
    bool isConvex(const std::vector<PointF>& ring)
    {
        const std::size_t n = ring.size();
        if (n < 3) return false;
        int sign = 0;
        double turning = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const PointF a = ring[i], b = ring[(i + 1) % n], c = ring[(i + 2) % n];
            const double z = cross(a, b, c);
            if (z != 0) {
                const int s = z > 0 ? 1 : -1;
                if (sign != 0 && s != sign) return false;
                sign = s;
            }
            const double a1 = std::atan2(b.y - a.y, b.x - a.x), a2 = std::atan2(c.y - b.y, c.x - b.x);
            double d = a2 - a1;
            while (d > std::numbers::pi)
                d -= 2 * std::numbers::pi;
            while (d < -std::numbers::pi)
                d += 2 * std::numbers::pi;
            turning += d;
        }
        return sign != 0 && std::fabs(std::fabs(turning) - 2 * std::numbers::pi) < 1e-6;
    }

    struct Edge {
        PointF lo, hi; // lo.y < hi.y
        int dir; // +1 when the ring runs upward along it
        double xAt(double y) const
        {
            if (y <= lo.y) return lo.x;
            if (y >= hi.y) return hi.x;
            return lo.x + (hi.x - lo.x) * (y - lo.y) / (hi.y - lo.y);
        }
    };

    // Cuts the area into trapezoids between horizontal lines through every
    // vertex and every crossing of two edges, so that no edge crosses another
    // inside a band; a trapezoid whose two edges go on unbroken into the next
    // band grows instead of starting anew.
    class Trapezoider {
    public:
        Trapezoider(const std::vector<Edge>& edges, bool evenOdd, std::vector<std::vector<PointF>>& out)
            : edges_(edges)
            , evenOdd_(evenOdd)
            , out_(out)
        {
        }

        void run()
        {
            std::vector<double> ys;
            for (const Edge& e : edges_) {
                ys.push_back(e.lo.y);
                ys.push_back(e.hi.y);
            }
            std::sort(ys.begin(), ys.end());
            ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
            std::vector<std::size_t> order(edges_.size());
            for (std::size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            std::sort(order.begin(), order.end(),
                [&](std::size_t a, std::size_t b) { return edges_[a].lo.y < edges_[b].lo.y; });
            std::vector<std::size_t> active;
            std::size_t next = 0;
            for (std::size_t k = 0; k + 1 < ys.size(); ++k) {
                const double y0 = ys[k], y1 = ys[k + 1];
                active.erase(std::remove_if(active.begin(), active.end(),
                                 [&](std::size_t i) { return edges_[i].hi.y <= y0; }),
                    active.end());
                while (next < order.size() && edges_[order[next]].lo.y <= y0) {
                    if (edges_[order[next]].hi.y > y0) active.push_back(order[next]);
                    ++next;
                }
                band(y0, y1, active, 0);
            }
            closeAll();
        }

    private:
        void band(double y0, double y1, const std::vector<std::size_t>& active, int depth)
        {
            const double ym = (y0 + y1) / 2;
            std::vector<std::size_t> sorted = active;
            std::sort(sorted.begin(), sorted.end(), [&](std::size_t a, std::size_t b) {
                const double xa = edges_[a].xAt(ym), xb = edges_[b].xAt(ym);
                if (xa != xb) return xa < xb;
                return a < b;
            });
            // Crossings of neighbours inside the band split it.
            std::vector<double> cuts;
            for (std::size_t i = 0; i + 1 < sorted.size(); ++i) {
                const Edge &a = edges_[sorted[i]], &b = edges_[sorted[i + 1]];
                const double d0 = b.xAt(y0) - a.xAt(y0), d1 = b.xAt(y1) - a.xAt(y1);
                if ((d0 < 0) != (d1 < 0) && d0 != d1) {
                    const double t = d0 / (d0 - d1);
                    const double y = y0 + (y1 - y0) * t;
                    if (y > y0 && y < y1) cuts.push_back(y);
                }
            }
            if (!cuts.empty() && depth < 48 && (y1 - y0) > 1e-9) {
                std::sort(cuts.begin(), cuts.end());
                cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
                double from = y0;
                for (double c : cuts) {
                    band(from, c, active, depth + 1);
                    from = c;
                }
                band(from, y1, active, depth + 1);
                return;
            }
            int winding = 0;
            std::size_t left = 0;
            std::map<std::pair<std::size_t, std::size_t>, Open> next;
            for (std::size_t i = 0; i < sorted.size(); ++i) {
                const bool was = inside(winding);
                winding += evenOdd_ ? 1 : edges_[sorted[i]].dir;
                const bool now = inside(winding);
                if (!was && now) left = sorted[i];
                if (was && !now) {
                    const auto key = std::make_pair(left, sorted[i]);
                    auto it = open_.find(key);
                    if (it != open_.end() && it->second.top == y0) {
                        next[key] = { it->second.bottom, y1 };
                        open_.erase(it);
                    } else {
                        next[key] = { y0, y1 };
                    }
                }
            }
            closeAll();
            open_ = std::move(next);
        }

        bool inside(int winding) const { return evenOdd_ ? (winding & 1) != 0 : winding != 0; }

        void closeAll()
        {
            for (const auto& [key, t] : open_) {
                const Edge &l = edges_[key.first], &r = edges_[key.second];
                out_.push_back({ { l.xAt(t.bottom), t.bottom }, { r.xAt(t.bottom), t.bottom },
                    { r.xAt(t.top), t.top }, { l.xAt(t.top), t.top } });
            }
            open_.clear();
        }

        struct Open {
            double bottom, top;
        };
        const std::vector<Edge>& edges_;
        bool evenOdd_;
        std::vector<std::vector<PointF>>& out_;
        std::map<std::pair<std::size_t, std::size_t>, Open> open_;
    };

} // namespace

SlideWriter::SlideWriter(std::int32_t xDots, std::int32_t yDots)
    : xDots_(std::clamp(xDots, 1, MAX_SLIDE_DOTS))
    , yDots_(std::clamp(yDots, 1, MAX_SLIDE_DOTS))
{
    appendNewSlideHeader(bytes_, xDots_, yDots_, squarePixelAspect(xDots_, yDots_), FILL_FLAG_FILLS);
}

void SlideWriter::record(const SlideRecord& r)
{
    encodeRecord(r, ByteOrder::Little, bytes_);
}

Point SlideWriter::clampPoint(Point p) const
{
    return { std::clamp(p.x, 0, xDots_), std::clamp(p.y, 0, yDots_) };
}

void SlideWriter::setColour(std::uint8_t colour)
{
    if (colour_ == colour) return;
    colour_ = colour;
    SlideRecord r;
    r.kind = RecordKind::Colour;
    r.colour = colour;
    record(r);
    ++stats_.colours;
}

// A line record makes its from point the last point; a common-endpoint
// record draws to the last point, so chains are written from their far end
// back, each line ending where the one before began.
void SlideWriter::line(Point from, Point to)
{
    const std::int32_t dx1 = from.x - last_.x, dy1 = from.y - last_.y;
    const std::int32_t dx2 = to.x - last_.x, dy2 = to.y - last_.y;
    SlideRecord r;
    if (dx2 == 0 && dy2 == 0 && fitsByte(dx1) && fitsByte(dy1)) {
        r.kind = RecordKind::CommonEndpoint;
        r.delta[0] = delta(dx1);
        r.delta[1] = delta(dy1);
        ++stats_.commonEndpoints;
    } else if (fitsByte(dx1) && fitsByte(dy1) && fitsByte(dx2) && fitsByte(dy2)) {
        r.kind = RecordKind::OffsetVector;
        r.delta[0] = delta(dx1);
        r.delta[1] = delta(dy1);
        r.delta[2] = delta(dx2);
        r.delta[3] = delta(dy2);
        ++stats_.offsetVectors;
    } else {
        r.kind = RecordKind::Vector;
        r.from = from;
        r.to = to;
        ++stats_.vectors;
    }
    record(r);
    last_ = from;
}

void SlideWriter::polyline(const std::vector<Point>& points, bool closed)
{
    std::vector<Point> pts;
    for (Point p : points) {
        p = clampPoint(p);
        if (pts.empty() || !(pts.back() == p)) pts.push_back(p);
    }
    if (pts.empty()) return;
    if (closed && pts.size() > 2 && !(pts.front() == pts.back())) pts.push_back(pts.front());
    if (pts.size() == 1) {
        line(pts[0], pts[0]);
        return;
    }
    // The renderer steps a line from its from point and leaves its to point
    // out, so a line's pixels depend on its direction: each segment is
    // written in the drawing's own direction, which the chain of records
    // gives when it is walked from the far end back.
    std::reverse(pts.begin(), pts.end());
    for (std::size_t k = 0; k + 1 < pts.size(); ++k)
        line(pts[k + 1], pts[k]);
}

void SlideWriter::fillRecords(const std::vector<Point>& vertices)
{
    encodeFill(vertices, FILL_START_MARK, bytes_);
    ++stats_.fills;
}

// A convex polygon of more vertices than a fill may hold becomes a fan of
// pieces that share its first vertex.
void SlideWriter::convexFill(const std::vector<Point>& polygon)
{
    std::vector<Point> pts;
    for (Point p : polygon) {
        p = clampPoint(p);
        if (pts.empty() || !(pts.back() == p)) pts.push_back(p);
    }
    while (pts.size() > 1 && pts.front() == pts.back())
        pts.pop_back();
    if (pts.size() < 3) {
        // Too thin for the grid: what is left of it is a line or a dot.
        polyline(pts, false);
        return;
    }
    if (pts.size() <= MAX_FILL_VERTICES) {
        fillRecords(pts);
        return;
    }
    std::vector<Point> piece;
    for (std::size_t start = 1; start + 1 < pts.size(); start += MAX_FILL_VERTICES - 2) {
        piece.assign(1, pts[0]);
        const std::size_t end = std::min(pts.size(), start + MAX_FILL_VERTICES - 1);
        piece.insert(piece.end(), pts.begin() + static_cast<std::ptrdiff_t>(start),
            pts.begin() + static_cast<std::ptrdiff_t>(end));
        fillRecords(piece);
    }
}

void SlideWriter::fillArea(const std::vector<std::vector<PointF>>& rings, bool evenOdd)
{
    auto toGrid = [](PointF p) {
        return Point { static_cast<std::int32_t>(
                           std::lround(std::clamp(p.x, -1.0, double { MAX_SLIDE_DOTS } + 1))),
            static_cast<std::int32_t>(std::lround(std::clamp(p.y, -1.0, double { MAX_SLIDE_DOTS } + 1))) };
    };
    std::vector<const std::vector<PointF>*> used;
    for (const auto& r : rings)
        if (!r.empty()) used.push_back(&r);
    if (used.empty()) return;
    if (used.size() == 1 && isConvex(*used[0])) {
        std::vector<Point> poly;
        for (PointF p : *used[0])
            poly.push_back(toGrid(p));
        convexFill(poly);
        return;
    }
    std::vector<Edge> edges;
    for (const auto* r : used) {
        for (std::size_t i = 0; i < r->size(); ++i) {
            PointF a = (*r)[i], b = (*r)[(i + 1) % r->size()];
            if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y))
                continue;
            if (a.y == b.y) continue;
            const int dir = a.y < b.y ? 1 : -1;
            if (dir < 0) std::swap(a, b);
            edges.push_back({ a, b, dir });
        }
    }
    std::vector<std::vector<PointF>> pieces;
    Trapezoider(edges, evenOdd, pieces).run();
    if (pieces.empty()) {
        // No area at all (every ring flat): draw the outline so the shape
        // does not vanish from the slide.
        for (const auto* r : used) {
            std::vector<Point> pts;
            for (PointF p : *r)
                pts.push_back(toGrid(p));
            polyline(pts, true);
        }
        return;
    }
    std::vector<Point> poly;
    for (const auto& t : pieces) {
        poly.clear();
        for (PointF p : t)
            poly.push_back(toGrid(p));
        convexFill(poly);
    }
}

std::vector<std::uint8_t> SlideWriter::finish()
{
    SlideRecord r;
    r.kind = RecordKind::End;
    record(r);
    return std::move(bytes_);
}

} // namespace qorvan::slide
