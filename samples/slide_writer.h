// A small writer of slide files (new form, level 2, little-endian) for the
// sample generator: vectors, offset and common-endpoint vectors, colours and
// solid fills as the host writes them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qorvan::samples {

struct Point {
    int x;
    int y;
};

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
    void word(int v);
    void byte(int v);

    int xDots_;
    int yDots_;
    std::string records_;
    Point last_ { 0, 0 };
};

} // namespace qorvan::samples
