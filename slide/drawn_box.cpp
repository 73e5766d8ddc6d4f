#include "slide/drawn_box.h"

#include <algorithm>

#include "slide/device_context.h"
#include "slide/format.h"
#include "slide/stream.h"

namespace qorvan::slide {

namespace {

    class BoxSurface final : public DeviceContext {
    public:
        BoxSurface()
            : DeviceContext({ 0, 0, 1, 1 })
        {
        }

        std::int32_t xDots = 0, yDots = 0;
        bool found = false;
        SlideBox box;

        bool LineTo(int x, int y) override
        {
            note(position(), { x, y });
            return DeviceContext::LineTo(x, y);
        }
        ColorRef SetPixel(int x, int y, ColorRef color) override
        {
            note({ x, y }, { x, y });
            return color;
        }
        bool Polygon(const Point* points, int count) override
        {
            for (int i = 0; i < count; ++i)
                note(points[i], points[(i + 1) % count]);
            return true;
        }

    protected:
        void deviceLine(Point, Point, ColorRef) override { }
        void devicePixel(Point, ColorRef) override { }
        void deviceFill(const std::vector<Point>&, int, ColorRef) override { }

    private:
        void add(double x, double y)
        {
            auto px = static_cast<std::int32_t>(std::clamp(x + 0.5, 0.0, static_cast<double>(xDots)));
            auto py = static_cast<std::int32_t>(std::clamp(y + 0.5, 0.0, static_cast<double>(yDots)));
            if (!found) box = { px, py, px, py }, found = true;
            box.minX = std::min(box.minX, px), box.maxX = std::max(box.maxX, px);
            box.minY = std::min(box.minY, py), box.maxY = std::max(box.maxY, py);
        }

        bool inside(Point p) const { return p.x >= 0 && p.x <= xDots && p.y >= 0 && p.y <= yDots; }

        void add(Point p)
        {
            if (!found) box = { p.x, p.y, p.x, p.y }, found = true;
            box.minX = std::min(box.minX, p.x), box.maxX = std::max(box.maxX, p.x);
            box.minY = std::min(box.minY, p.y), box.maxY = std::max(box.maxY, p.y);
        }

        // The segment cut to the area (Liang-Barsky); nothing when it misses.
        void note(Point a, Point b)
        {
            // Most segments lie inside, where the cut keeps their ends as they are.
            if (inside(a) && inside(b)) {
                add(a);
                add(b);
                return;
            }
            double t0 = 0, t1 = 1;
            const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
            auto cut = [&](double p, double q) {
                if (p == 0) return q >= 0;
                double t = q / p;
                if (p < 0) {
                    if (t > t1) return false;
                    t0 = std::max(t0, t);
                } else {
                    if (t < t0) return false;
                    t1 = std::min(t1, t);
                }
                return true;
            };
            if (!cut(-dx, a.x) || !cut(dx, xDots - static_cast<double>(a.x)) || !cut(-dy, a.y)
                || !cut(dy, yDots - static_cast<double>(a.y)))
                return;
            add(a.x + t0 * dx, a.y + t0 * dy);
            add(a.x + t1 * dx, a.y + t1 * dy);
        }
    };

} // namespace

bool findDrawnBox(const std::uint8_t* bytes, std::size_t size, SlideBox& box)
{
    MemoryStream stream(bytes, size);
    SlideHeader header;
    readSlideHeader(stream, header);
    BoxSurface surface;
    surface.xDots = header.xDots();
    surface.yDots = header.yDots();
    if (surface.xDots < 0 || surface.yDots < 0) return false;
    SlideRenderer renderer;
    renderer.surface = &surface;
    renderRecords(renderer, stream, header.xDots(), header.yDots());
    if (surface.found) box = surface.box;
    return surface.found;
}

} // namespace qorvan::slide
