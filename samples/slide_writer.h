// A small writer of slide files (new form, level 2, little-endian) for the
// sample generator. Unlike the drawing writer in slide/, it writes each
// record exactly as asked (vectors, offset and common-endpoint vectors,
// colours and solid fills as the host writes them), so the samples show
// every record type; the bytes come from the slide codec's encoders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "slide/surface.h"

namespace qorvan::slide {
struct SlideRecord;
}

namespace qorvan::samples {

using Point = slide::Point;

class SlideWriter {
public:
    SlideWriter(int xDots, int yDots);

    void colour(int index);
    void line(Point from, Point to);
    // A line from last + d1 to last + d2, both offsets within -128..127.
    void offsetLine(Point d1, Point d2);
    // A line from last + d to the last point, d within -128..127.
    void lineToLast(Point d);
    void polyline(const std::vector<Point>& points, bool closed);
    // A filled polygon of at most 10 vertices in the current colour.
    void fill(const std::vector<Point>& vertices);

    // The slide's bytes, end record included.
    std::string bytes() const;

private:
    void record(const slide::SlideRecord& r);

    int xDots_;
    int yDots_;
    std::vector<std::uint8_t> records_;
};

} // namespace qorvan::samples
