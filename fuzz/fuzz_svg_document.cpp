// Arbitrary bytes as an SVG document, drawn at two grids: nothing may
// crash or run away, and every point of a drawing with a size lies inside
// its viewport.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "import/svg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qorvan::import;
    Options options;
    options.limits.maxFileBytes = 1 << 20;
    options.limits.maxEntities = 20000;
    options.limits.maxPoints = 200000;
    options.limits.maxSegmentsPerCurve = 1000;
    OpenResult open
        = openSvgBytes(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.svg", options);
    if (!open.source) {
        if (open.error.rfind("fuzz.svg: ", 0) != 0) __builtin_trap();
        return 0;
    }
    const Extents box = open.source->extents();
    for (double unitsPerPixel : { 1.0, 0.01 }) {
        Drawing drawing;
        std::string error;
        if (!open.source->draw(Grid { unitsPerPixel, unitsPerPixel / 2 }, drawing, error)) {
            if (error.empty()) __builtin_trap();
            continue;
        }
        if (drawing.pointCount() > options.limits.maxPoints * 4) __builtin_trap();
        const double slack = 1e-6 * (1 + box.width() + box.height());
        for (const Shape& s : drawing.shapes)
            for (const Ring& r : s.rings)
                for (Vec2 p : r.points) {
                    if (!std::isfinite(p.x) || !std::isfinite(p.y)) __builtin_trap();
                    if (p.x < box.minX - slack || p.x > box.maxX + slack || p.y < box.minY - slack
                        || p.y > box.maxY + slack)
                        __builtin_trap();
                }
    }
    return 0;
}
