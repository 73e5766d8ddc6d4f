// A surface that writes the drawing as SVG vectors. The viewBox is the device
// rectangle and one unit is one pixel; a pixel's centre is at +0.5, lines are
// one unit wide with butt ends, single pixels are unit squares, polygons are
// filled by the selected rule and stroked one unit wide. The clip rectangle
// in force when a primitive is drawn applies to it.
//
// The smooth form leaves the antialiasing to the viewer: points stand where
// the mapping puts them, between pixels too, lines have round ends and
// joins, and the lines of one colour drawn one after another form one path,
// which keeps a slide of thousands of vectors a small file.
//
// The document is written as it is drawn: either kept whole in memory, or
// handed to a sink in pieces of about STREAM_PIECE bytes, so that a slide of
// millions of vectors needs no more memory than its largest fill.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "slide/device_context.h"

namespace qorvan::slide {

class SvgSurface : public DeviceContext {
public:
    // Takes the next piece of the document; false when it could not (the
    // rest is then dropped and finish() says so).
    using Sink = std::function<bool(const char* data, std::size_t size)>;
    static constexpr std::size_t STREAM_PIECE = 64 * 1024;

    // A background above 0xFFFFFF (such as TRANSPARENT_BACKGROUND of
    // slide/png.h) draws no background rectangle. Without a sink the
    // document is kept in memory for document().
    SvgSurface(int width, int height, ColorRef background = 0, bool smooth = false, Sink sink = {});

    bool LineTo(int x, int y) override;
    ColorRef SetPixel(int x, int y, ColorRef color) override;
    bool Polygon(const Point* points, int count) override;

    // In memory: the complete document, as finish() would end it.
    std::string document() const;
    // Streaming: ends the document and hands the last piece to the sink;
    // true when the sink took every piece. Nothing may be drawn after it.
    bool finish();
    // Writes document() to a user path; false on failure.
    bool save(const std::string& path) const;

protected:
    void deviceLine(Point from, Point to, ColorRef color) override;
    void devicePixel(Point p, ColorRef color) override;
    void devicePolygon(const std::vector<Point>& points, int fillMode, ColorRef fill, ColorRef pen) override;
    void deviceFill(const std::vector<Point>&, int, ColorRef) override { }

private:
    void openClipGroup();
    void flushLines();
    void place(Point logical, std::string& out) const;
    std::string ending() const;
    void spill();

    std::string out_; // what is written and not yet handed to the sink
    Sink sink_;
    bool sinkOk_ = true;
    Rect groupClip_ {};
    bool groupOpen_ = false;
    int clipCount_ = 0;
    bool smooth_;
    // Smooth: the lines of one colour drawn one after another form one
    // path element, open in out_ while pathOpen_.
    bool pathOpen_ = false;
    ColorRef linesColor_ = 0;
    Point linesEnd_ {}; // logical end of the path's last line
};

} // namespace qorvan::slide
