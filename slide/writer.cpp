#include "slide/writer.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "slide/fill_cutter.h"
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

    // The renderer fills every pixel whose centre a rounded vertex bounds,
    // edges included, so an area rounded as it stands covers a pixel more
    // than its width: a 3.6 wide band would fill 5 rows. Moving each edge
    // of a convex piece half a pixel in first makes the pixels filled those
    // whose centres lie inside. A piece too thin for that keeps its shape,
    // so it still leaves a line.
    std::vector<PointF> insetHalfPixel(const std::vector<PointF>& piece)
    {
        std::vector<PointF> p;
        for (PointF q : piece)
            if (p.empty() || q.x != p.back().x || q.y != p.back().y) p.push_back(q);
        while (p.size() > 1 && p.front().x == p.back().x && p.front().y == p.back().y)
            p.pop_back();
        const std::size_t n = p.size();
        if (n < 3) return piece;
        double area = 0;
        for (std::size_t i = 0; i < n; ++i)
            area += p[i].x * p[(i + 1) % n].y - p[(i + 1) % n].x * p[i].y;
        if (area == 0) return piece;
        const double side = area > 0 ? 1 : -1;
        constexpr double D = 0.5;
        // Each edge's line moved inward, as a point on it and its direction.
        std::vector<PointF> at(n), dir(n);
        for (std::size_t i = 0; i < n; ++i) {
            const PointF a = p[i], b = p[(i + 1) % n];
            const double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
            dir[i] = { dx / len, dy / len };
            at[i] = { a.x - side * dir[i].y * D, a.y + side * dir[i].x * D };
        }
        std::vector<PointF> out(n);
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t h = (i + n - 1) % n;
            const double den = dir[h].x * dir[i].y - dir[h].y * dir[i].x;
            if (std::fabs(den) < 1e-9) {
                out[i] = at[i]; // the two edges run on in one line
                continue;
            }
            const double t = ((at[i].x - at[h].x) * dir[i].y - (at[i].y - at[h].y) * dir[i].x) / den;
            out[i] = { at[h].x + t * dir[h].x, at[h].y + t * dir[h].y };
        }
        // Too thin: an edge would turn round.
        for (std::size_t i = 0; i < n; ++i) {
            const PointF a = out[i], b = out[(i + 1) % n];
            if ((b.x - a.x) * dir[i].x + (b.y - a.y) * dir[i].y < 0) return piece;
        }
        return out;
    }

    // The same for trapezoids, whose edges inside the area (where one piece
    // sits on another, or beside it) must stay where they are so that no
    // gap opens: sides always move in (neighbours side by side keep abutting
    // rows of pixels), the bottom and top only where nothing sits below or
    // above. Pieces: bottom-left, bottom-right, top-right, top-left.
    void insetTrapezoids(std::vector<Piece>& pieces)
    {
        constexpr double D = 0.5;
        std::multimap<double, std::pair<double, double>> tops; // y -> x range
        for (const auto& t : pieces)
            tops.emplace(t[2].y, std::make_pair(t[3].x, t[2].x));
        std::multimap<double, std::pair<double, double>> bottoms;
        for (const auto& t : pieces)
            bottoms.emplace(t[0].y, std::make_pair(t[0].x, t[1].x));
        std::vector<Piece> out;
        out.reserve(pieces.size());
        for (const auto& t : pieces) {
            double y0 = t[0].y, y1 = t[2].y;
            const double h = y1 - y0;
            auto leftAt
                = [&](double y) { return h > 0 ? t[0].x + (t[3].x - t[0].x) * (y - t[0].y) / h : t[0].x; };
            auto rightAt
                = [&](double y) { return h > 0 ? t[1].x + (t[2].x - t[1].x) * (y - t[1].y) / h : t[1].x; };
            bool below = false, above = false;
            {
                const auto [lo, hi] = tops.equal_range(y0);
                for (auto it = lo; it != hi && !below; ++it)
                    below = it->second.first < t[1].x && it->second.second > t[0].x;
            }
            {
                const auto [lo, hi] = bottoms.equal_range(y1);
                for (auto it = lo; it != hi && !above; ++it)
                    above = it->second.first < t[2].x && it->second.second > t[3].x;
            }
            if (!below) y0 += D;
            if (!above) y1 -= D;
            if (y1 < y0) y0 = y1 = (t[0].y + t[2].y) / 2;
            PointF bl { leftAt(y0) + D, y0 }, br { rightAt(y0) - D, y0 };
            PointF tr { rightAt(y1) - D, y1 }, tl { leftAt(y1) + D, y1 };
            if (br.x < bl.x) bl.x = br.x = (bl.x + br.x) / 2;
            if (tr.x < tl.x) tl.x = tr.x = (tl.x + tr.x) / 2;
            out.push_back(Piece { bl, br, tr, tl });
        }
        pieces = std::move(out);
    }

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
    // Some readers (netpbm's sldtoppm among them) forget the last point at
    // a colour change, and none knows one before the first vector.
    fullVectorNext_ = true;
}

// A line record makes its from point the last point; a common-endpoint
// record draws to the last point, so chains are written from their far end
// back, each line ending where the one before began.
void SlideWriter::line(Point from, Point to)
{
    const std::int32_t dx1 = from.x - last_.x, dy1 = from.y - last_.y;
    const std::int32_t dx2 = to.x - last_.x, dy2 = to.y - last_.y;
    SlideRecord r;
    if (fullVectorNext_) {
        r.kind = RecordKind::Vector;
        r.from = from;
        r.to = to;
        ++stats_.vectors;
        fullVectorNext_ = false;
    } else if (dx2 == 0 && dy2 == 0 && fitsByte(dx1) && fitsByte(dy1)) {
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
    if (used.size() == 1 && isConvexRing(*used[0])) {
        std::vector<Point> poly;
        for (PointF p : insetHalfPixel(*used[0]))
            poly.push_back(toGrid(p));
        convexFill(poly);
        return;
    }
    std::vector<Piece> pieces;
    std::size_t work = fillWork_;
    if (!cutIntoTrapezoids(used, evenOdd, work, pieces)) {
        // Past the bound the area is not cut: its outline still shows where
        // it lies. The work is spent, so that every later area that needs
        // cutting is outlined at once and the slide's time stays bounded.
        fillWork_ = 0;
        ++stats_.outlinedFills;
        for (const auto* r : used) {
            std::vector<Point> pts;
            for (PointF p : *r)
                if (std::isfinite(p.x) && std::isfinite(p.y)) pts.push_back(toGrid(p));
            polyline(pts, true);
        }
        return;
    }
    fillWork_ = work;
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
    insetTrapezoids(pieces);
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
