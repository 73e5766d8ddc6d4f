// The set-up that maps a slide onto the window, and the drawing of the
// records the record reader decodes.
#include "slide/renderer.h"

#include <algorithm>
#include <cmath>

#include "slide/format.h"
#include "slide/records.h"

namespace qorvan::slide {

namespace {

    constexpr int FOREGROUND_INDEX = 7;
    constexpr int BACKDROP_INDEX = 0;

    // Pen and brush of the current colour, with the ones they displaced.
    struct DrawingObjects {
        Surface& s;
        Handle savedPen = NO_OBJECT;
        Handle savedBrush = NO_OBJECT;
        Handle pen = NO_OBJECT;
        Handle brush = NO_OBJECT;

        void start(ColorRef color)
        {
            brush = s.CreateSolidBrush(color);
            pen = s.CreatePen(PS_SOLID, 0, color);
            savedBrush = s.SelectObject(brush);
            savedPen = s.SelectObject(pen);
        }
        void recolor(ColorRef color)
        {
            s.SelectObject(savedBrush);
            s.DeleteObject(brush);
            brush = s.CreateSolidBrush(color);
            s.SelectObject(brush);
            s.SelectObject(savedPen);
            s.DeleteObject(pen);
            pen = s.CreatePen(PS_SOLID, 0, color);
            s.SelectObject(pen);
        }
        void finish()
        {
            s.SelectObject(savedPen);
            s.DeleteObject(pen);
            s.SelectObject(savedBrush);
            s.DeleteObject(brush);
        }
    };

    // Truncation toward zero. A header with a zero extent divides by zero and a
    // huge ratio overflows; those saturate instead of being undefined (a zero
    // window extent is then refused by the mapping and the slide draws unscaled).
    std::int32_t truncate(double v)
    {
        if (!(v == v)) return 0;
        if (v >= 2147483647.0) return 2147483647;
        if (v <= -2147483648.0) return -2147483647 - 1;
        return static_cast<std::int32_t>(v);
    }

    // Box corners sit on pixel centres: the box's lower-left corner goes to the
    // margin's corner plus half of the room the scaled box leaves, so a drawing
    // narrower than the picture stands in its middle. A box of zero width or
    // height counts as one unit there, so a single line still gets a scale.
    void mapBoxToClient(Surface& s, const SlideBox& box, std::int32_t w, std::int32_t h, std::int32_t margin)
    {
        margin = std::max(0, std::min(margin, std::min(w, h) / 2 - 1));
        const double roomX = std::max(1, w - 1 - 2 * margin), roomY = std::max(1, h - 1 - 2 * margin);
        const double ex = static_cast<double>(box.maxX) - box.minX,
                     ey = static_cast<double>(box.maxY) - box.minY;
        const double dx = std::max(1.0, ex), dy = std::max(1.0, ey);
        const double scale = std::min(roomX / dx, roomY / dy);
        auto round = [](double v) { return static_cast<std::int32_t>(std::lround(v)); };
        s.SetWindowOrg(box.minX, box.minY);
        s.SetWindowExt(static_cast<std::int32_t>(dx), static_cast<std::int32_t>(dy));
        s.SetViewportExt(std::max(1, round(dx * scale)), -std::max(1, round(dy * scale)));
        s.SetViewportOrg(
            round(margin + (roomX - ex * scale) / 2), round(h - 1 - margin - (roomY - ey * scale) / 2));
    }

} // namespace

Size slideWindowExtent(std::int32_t xDots, std::int32_t yDots, std::int32_t w, std::int32_t h)
{
    double r = static_cast<double>(h) / static_cast<double>(w);
    float a = static_cast<float>(xDots);
    if (static_cast<double>(yDots) / static_cast<double>(a) > r)
        return { truncate(static_cast<double>(yDots) / r), yDots };
    return { xDots, truncate(static_cast<double>(a) * r) };
}

void drawVector(SlideRenderer& r, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    x1 = clampFrom(x1);
    y1 = clampFrom(y1);
    x2 = foldTo(x2, r.xDots);
    y2 = foldTo(y2, r.yDots);
    r.lastPoint = { x1, y1 };
    Surface& s = *r.surface;
    s.MoveTo(x1, y1);
    s.LineTo(x2, y2);
    if (x1 == x2 && y1 == y2) s.SetPixel(x1, y1, s.GetObjectColor(s.GetCurrentObject(ObjectKind::Pen)));
}

bool renderRecords(SlideRenderer& r, SlideStream& stream, std::int32_t xDots, std::int32_t yDots)
{
    Surface& s = *r.surface;
    Rect client = r.window ? r.window->GetClientRect() : s.GetClientRect();
    std::int32_t w = client.right - client.left;
    std::int32_t h = client.bottom - client.top;
    // An empty client area cannot be scaled onto (the scaling divides by the
    // width); there is nothing to see, so nothing is drawn or read.
    if (w <= 0 || h <= 0) return true;

    DrawingObjects objects { s };
    objects.start(r.foreground);
    s.SetMapMode(MM_ISOTROPIC);
    if (r.fit) {
        mapBoxToClient(s, r.fitBox, w, h, r.fitMargin);
    } else {
        Size ext = slideWindowExtent(xDots, yDots, w, h);
        s.SetWindowExt(ext.cx, ext.cy);
        s.SetViewportExt(w - 1, 1 - h);
        s.SetViewportOrg(0, h - 1);
    }
    r.xDots = xDots;
    r.yDots = yDots;

    RecordReader reader(stream, ByteOrder::Little, r.lastPoint);
    SlideRecord rec;
    while (reader.next(rec)) {
        switch (rec.kind) {
        case RecordKind::Vector:
        case RecordKind::OffsetVector:
        case RecordKind::CommonEndpoint:
            drawVector(r, rec.from.x, rec.from.y, rec.to.x, rec.to.y);
            break;
        case RecordKind::SolidFill: {
            const std::vector<Point>& v = *rec.vertices;
            if (v.empty()) break;
            r.vertices.clear();
            for (Point p : v)
                r.vertices.push_back({ foldVertex(p.x, r.xDots), foldVertex(p.y, r.yDots) });
            s.SetPolyFillMode(WINDING);
            s.Polygon(r.vertices.data(), static_cast<int>(r.vertices.size()));
            break;
        }
        case RecordKind::Colour:
            objects.recolor(rec.colour == FOREGROUND_INDEX ? r.foreground
                    : rec.colour == BACKDROP_INDEX         ? r.backdrop
                                                           : paletteColor(rec.colour));
            break;
        case RecordKind::End:
        case RecordKind::Skipped:
            break;
        }
    }
    objects.finish();
    return true;
}

StatusCode drawSlideStream(SlideRenderer& r, SlideStream& stream)
{
    SlideHeader header;
    StatusCode result = readSlideHeader(stream, header);
    renderRecords(r, stream, header.xDots(), header.yDots());
    return result;
}

} // namespace qorvan::slide
