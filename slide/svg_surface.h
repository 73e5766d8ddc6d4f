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
#pragma once

#include <string>

#include "slide/device_context.h"

namespace qorvan::slide {

class SvgSurface : public DeviceContext {
public:
    // A background above 0xFFFFFF (such as TRANSPARENT_BACKGROUND of
    // slide/png.h) draws no background rectangle.
    SvgSurface(int width, int height, ColorRef background = 0, bool smooth = false);

    bool LineTo(int x, int y) override;
    ColorRef SetPixel(int x, int y, ColorRef color) override;
    bool Polygon(const Point* points, int count) override;

    // The complete document.
    std::string document() const;
    // Writes document() to a user path; false on failure.
    bool save(const std::string& path) const;

protected:
    void deviceLine(Point from, Point to, ColorRef color) override;
    void devicePixel(Point p, ColorRef color) override;
    void devicePolygon(const std::vector<Point>& points, int fillMode, ColorRef fill, ColorRef pen) override;
    void deviceFill(const std::vector<Point>&, int, ColorRef) override {}

private:
    void openClipGroup();
    void flushLines();
    void place(Point logical, std::string& out) const;

    int width_;
    int height_;
    ColorRef background_;
    std::string body_;
    Rect groupClip_{};
    bool groupOpen_ = false;
    int clipCount_ = 0;
    bool smooth_;
    std::string lines_; // smooth: path data of lines not yet written
    ColorRef linesColor_ = 0;
    Point linesEnd_{}; // logical end of the last line in lines_
};

} // namespace qorvan::slide
