// A surface that draws antialiased through Cairo, to a PNG picture or an SVG
// document. Points are placed where the mapping puts them, between pixels
// too, rather than rounded to whole pixels, so small pictures of detailed
// slides (text above all) stay legible. Lines are one pixel wide with round
// ends and joins; polygons are filled by the selected rule and outlined.
// Lines of one colour are stroked together, which keeps the cost of a slide
// of thousands of short vectors near that of one path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "slide/device_context.h"

namespace qorvan::slide {

class CairoSurface final : public DeviceContext {
public:
    enum class Output { Png, Svg };

    // A background above 0xFFFFFF (TRANSPARENT_BACKGROUND of slide/png.h)
    // leaves the picture transparent. Sizes follow the raster surface's
    // bounds; a larger one gives an invalid surface.
    CairoSurface(int width, int height, ColorRef background, Output output);
    ~CairoSurface() override;
    CairoSurface(const CairoSurface&) = delete;
    CairoSurface& operator=(const CairoSurface&) = delete;

    bool valid() const;
    // Ends the drawing and gives the encoded picture; false when Cairo
    // failed (out of memory). The surface draws nothing afterwards.
    bool finish(std::string& encoded);
    // Ends a Png surface's drawing without encoding it: the pixels go to
    // rgba, four bytes each (alpha not premultiplied), rows stride apart.
    bool finishPixels(std::uint8_t* rgba, std::size_t stride);

    bool LineTo(int x, int y) override;
    ColorRef SetPixel(int x, int y, ColorRef color) override;
    bool Polygon(const Point* points, int count) override;

protected:
    void deviceLine(Point, Point, ColorRef) override { }
    void devicePixel(Point, ColorRef) override { }
    void deviceFill(const std::vector<Point>&, int, ColorRef) override { }

private:
    struct State;
    void use(ColorRef color);
    void flush();
    void place(Point logical, double& x, double& y) const;

    std::unique_ptr<State> state_;
};

} // namespace qorvan::slide
