// The sample slide writer.
#include "samples/slide_writer.h"

#include <stdexcept>

namespace qorvan::samples {

namespace {
    constexpr char SIGNATURE[] = "AutoCAD Slide\r\n\x1a";
    constexpr int SOLID_FILL = 0xFD;
    constexpr int MAX_FILL_VERTICES = 10;
} // namespace

SlideWriter::SlideWriter(int xDots, int yDots)
    : xDots_(xDots)
    , yDots_(yDots)
{
}

void SlideWriter::word(int v)
{
    records_ += static_cast<char>(v & 0xFF);
    records_ += static_cast<char>((v >> 8) & 0xFF);
}

void SlideWriter::byte(int v)
{
    records_ += static_cast<char>(v & 0xFF);
}

void SlideWriter::colour(int index)
{
    byte(index);
    byte(0xFF);
}

void SlideWriter::line(Point from, Point to)
{
    word(from.x); // a vector record's word is its from-x (high byte below 0x80)
    word(from.y);
    word(to.x);
    word(to.y);
    last_ = from;
}

void SlideWriter::offsetLine(Point d1, Point d2)
{
    byte(d1.x);
    byte(0xFB);
    byte(d1.y);
    byte(d2.x);
    byte(d2.y);
    last_ = { last_.x + d1.x, last_.y + d1.y };
}

void SlideWriter::lineToLast(Point d)
{
    byte(d.x);
    byte(0xFE);
    byte(d.y);
    last_ = { last_.x + d.x, last_.y + d.y };
}

void SlideWriter::polyline(const std::vector<Point>& points, bool closed)
{
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        line(points[i], points[i + 1]);
    if (closed && points.size() > 2) line(points.back(), points.front());
}

void SlideWriter::fill(const std::vector<Point>& vertices)
{
    if (vertices.size() < 3 || vertices.size() > MAX_FILL_VERTICES)
        throw std::invalid_argument("fill vertices");
    // The start record carries the vertex count and a negative y, each
    // vertex is a record of its own, and a record with a negative y closes
    // the fill.
    word(SOLID_FILL << 8);
    word(static_cast<int>(vertices.size()));
    word(0xFFFF);
    for (const Point& p : vertices) {
        word(SOLID_FILL << 8);
        word(p.x);
        word(p.y);
    }
    word(SOLID_FILL << 8);
    word(0);
    word(0xFFFF);
}

std::string SlideWriter::bytes() const
{
    std::string out(SIGNATURE, sizeof SIGNATURE); // 16 characters and the NUL
    out += 'V';
    out += static_cast<char>(2);
    auto put16 = [&out](int v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>((v >> 8) & 0xFF);
    };
    put16(xDots_);
    put16(yDots_);
    // The display's aspect ratio times 10,000,000, here for square pixels.
    const auto aspect = static_cast<std::uint32_t>(10000000.0 * xDots_ / yDots_);
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((aspect >> (8 * i)) & 0xFF);
    put16(2); // fill flag: the slide holds solid fills
    put16(0x1234); // byte order test
    out += records_;
    out += '\0';
    out += static_cast<char>(0xFC);
    return out;
}

} // namespace qorvan::samples
