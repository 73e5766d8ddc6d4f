// Writes new slides: a new-form little-endian header, then records chosen to
// keep files as small as the host's own (relative records wherever the
// deltas fit a signed byte, a colour record only when the colour changes;
// the first line of the slide and after each colour change is a full
// vector, so readers that keep no last point across them draw it too)
// and fills in the shape every reader accepts: convex pieces of at most
// MAX_FILL_VERTICES vertices, each one start record, its vertex records and
// a closing record. The records' bytes come from the one record encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "slide/fill_cutter.h"
#include "slide/surface.h"

namespace qorvan::slide {

struct SlideRecord;

// netpbm's sldtoppm refuses longer fills; the host's own files never hold more.
inline constexpr std::size_t MAX_FILL_VERTICES = 10;
// A record's absolute x shares its word with the record type, so it must
// stay below 0x8000; the header's extents are signed 16-bit values.
inline constexpr std::int32_t MAX_SLIDE_DOTS = 0x7FFF;

struct SlideWriterStats {
    std::size_t vectors = 0, offsetVectors = 0, commonEndpoints = 0, colours = 0, fills = 0;
    std::size_t outlinedFills = 0; // areas drawn as their outline: cutting them was past the bound
};

class SlideWriter {
public:
    // Extents are clamped to 1..MAX_SLIDE_DOTS. The header's aspect says the
    // pixels are square.
    SlideWriter(std::int32_t xDots, std::int32_t yDots);

    std::int32_t xDots() const { return xDots_; }
    std::int32_t yDots() const { return yDots_; }

    void setColour(std::uint8_t colour);
    // Lines through the points in order, in slide coordinates (clamped to
    // the area); closed joins the last to the first. Repeated points are
    // dropped; a polyline that collapses to one point draws that point.
    void polyline(const std::vector<Point>& points, bool closed);
    // The area inside the rings (each implicitly closed) under the even-odd
    // or the non-zero rule, in slide coordinates. A convex single ring is
    // written as it stands; anything else is cut into trapezoids along the
    // rings' edges, which are convex whatever the rings' shape. Once the
    // slide's cutting work (setFillCutWork) is spent, such an area is drawn
    // as its outline instead, counted in stats().outlinedFills.
    void fillArea(const std::vector<std::vector<PointF>>& rings, bool evenOdd);

    // The slide's bytes, ending with the end record. The writer is spent.
    std::vector<std::uint8_t> finish();
    const SlideWriterStats& stats() const { return stats_; }
    // The cutting work left to the slide, MAX_FILL_CUT_WORK to begin with.
    void setFillCutWork(std::size_t work) { fillWork_ = work; }

private:
    void line(Point from, Point to);
    void convexFill(const std::vector<Point>& polygon);
    void fillRecords(const std::vector<Point>& vertices);
    void record(const SlideRecord& r);
    Point clampPoint(Point p) const;

    std::int32_t xDots_, yDots_;
    std::vector<std::uint8_t> bytes_;
    Point last_ { 0, 0 };
    int colour_ = -1;
    bool fullVectorNext_ = true; // no reader may be trusted with a last point here
    SlideWriterStats stats_;
    std::size_t fillWork_ = MAX_FILL_CUT_WORK;
};

} // namespace qorvan::slide
