#include "slide/writer.h"

#include <algorithm>
#include <cmath>
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
    // A closed ring of two points goes there and back, as the renderer
    // outlines a fill that has no area: both ends are drawn.
    if (closed && pts.size() > 1 && !(pts.front() == pts.back())) pts.push_back(pts.front());
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
        for (PointF p : *used[0])
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
