// The sample slide writer.
#include "samples/slide_writer.h"

#include <stdexcept>

#include "slide/format.h"
#include "slide/records.h"
#include "slide/writer.h"

namespace qorvan::samples {

using slide::RecordKind;
using slide::SlideRecord;

namespace {
    std::int8_t delta(std::int32_t v)
    {
        return static_cast<std::int8_t>(v);
    }
} // namespace

SlideWriter::SlideWriter(int xDots, int yDots)
    : xDots_(xDots)
    , yDots_(yDots)
{
}

void SlideWriter::record(const SlideRecord& r)
{
    slide::encodeRecord(r, slide::ByteOrder::Little, records_);
}

void SlideWriter::colour(int index)
{
    SlideRecord r;
    r.kind = RecordKind::Colour;
    r.colour = static_cast<std::uint8_t>(index);
    record(r);
}

void SlideWriter::line(Point from, Point to)
{
    SlideRecord r;
    r.kind = RecordKind::Vector;
    r.from = from;
    r.to = to;
    record(r);
}

void SlideWriter::offsetLine(Point d1, Point d2)
{
    SlideRecord r;
    r.kind = RecordKind::OffsetVector;
    r.delta[0] = delta(d1.x);
    r.delta[1] = delta(d1.y);
    r.delta[2] = delta(d2.x);
    r.delta[3] = delta(d2.y);
    record(r);
}

void SlideWriter::lineToLast(Point d)
{
    SlideRecord r;
    r.kind = RecordKind::CommonEndpoint;
    r.delta[0] = delta(d.x);
    r.delta[1] = delta(d.y);
    record(r);
}

void SlideWriter::polyline(const std::vector<Point>& points, bool closed)
{
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        line(points[i], points[i + 1]);
    if (closed && points.size() > 2) line(points.back(), points.front());
}

void SlideWriter::fill(const std::vector<Point>& vertices)
{
    if (vertices.size() < 3 || vertices.size() > slide::MAX_FILL_VERTICES)
        throw std::invalid_argument("fill vertices");
    // The samples mark both ends of a fill with a word of -1; readers tell
    // the start from the close by its vertex count.
    slide::encodeFill(vertices, slide::FILL_CLOSE_MARK, records_);
}

std::string SlideWriter::bytes() const
{
    std::vector<std::uint8_t> out;
    slide::appendNewSlideHeader(
        out, xDots_, yDots_, slide::squarePixelAspect(xDots_, yDots_), slide::FILL_FLAG_FILLS);
    out.insert(out.end(), records_.begin(), records_.end());
    SlideRecord end;
    end.kind = RecordKind::End;
    slide::encodeRecord(end, slide::ByteOrder::Little, out);
    return { out.begin(), out.end() };
}

} // namespace qorvan::samples
