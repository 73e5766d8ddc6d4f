// The record loop and the set-up that maps a slide onto the window.
#include "slide/renderer.h"

#include <algorithm>
#include <cmath>

#include "slide/format.h"

namespace qorvan::slide {

namespace {

constexpr std::int32_t WORD_MAX = 0xFFFF;
constexpr int FOREGROUND_INDEX = 7;
constexpr int BACKDROP_INDEX = 0;

std::int32_t s8(std::uint8_t b) { return static_cast<std::int8_t>(b); }

// Fill vertices fold against the extent itself.
std::int32_t foldVertex(std::int32_t v, std::int32_t m) { return v <= m ? v : WORD_MAX - v; }

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

// Reads a fill's vertices; false when the stream ends inside it.
bool readFill(SlideRenderer& r, SlideStream& stream)
{
    std::uint16_t n = 0, unused = 0;
    if (!stream.readU16(n) || !stream.readU16(unused)) return false;
    r.vertices.clear();
    for (unsigned i = 0; i < n; ++i) {
        std::uint16_t skip = 0, x = 0, y = 0;
        if (!stream.readU16(skip) || !stream.readU16(x) || !stream.readU16(y)) return false;
        r.vertices.push_back({foldVertex(x, r.xDots), foldVertex(y, r.yDots)});
    }
    if (n > 0) {
        r.surface->SetPolyFillMode(WINDING);
        r.surface->Polygon(r.vertices.data(), static_cast<int>(n));
    }
    return true;
}

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
    const double ex = static_cast<double>(box.maxX) - box.minX, ey = static_cast<double>(box.maxY) - box.minY;
    const double dx = std::max(1.0, ex), dy = std::max(1.0, ey);
    const double scale = std::min(roomX / dx, roomY / dy);
    auto round = [](double v) { return static_cast<std::int32_t>(std::lround(v)); };
    s.SetWindowOrg(box.minX, box.minY);
    s.SetWindowExt(static_cast<std::int32_t>(dx), static_cast<std::int32_t>(dy));
    s.SetViewportExt(std::max(1, round(dx * scale)), -std::max(1, round(dy * scale)));
    s.SetViewportOrg(round(margin + (roomX - ex * scale) / 2), round(h - 1 - margin - (roomY - ey * scale) / 2));
}

} // namespace

Size slideWindowExtent(std::int32_t xDots, std::int32_t yDots, std::int32_t w, std::int32_t h)
{
    double r = static_cast<double>(h) / static_cast<double>(w);
    float a = static_cast<float>(xDots);
    if (static_cast<double>(yDots) / static_cast<double>(a) > r) return {truncate(static_cast<double>(yDots) / r), yDots};
    return {xDots, truncate(static_cast<double>(a) * r)};
}


void drawVector(SlideRenderer& r, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    if (x1 < -1) x1 = 0;
    if (y1 < -1) y1 = 0;
    if (x2 > r.xDots + 1) x2 = WORD_MAX - x2;
    if (y2 > r.yDots + 1) y2 = WORD_MAX - y2;
    r.lastPoint = {x1, y1};
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

    DrawingObjects objects{s};
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

    for (;;) {
        std::uint16_t word = 0;
        if (!stream.readU16(word)) break;
        auto hi = static_cast<std::uint8_t>(word >> 8);
        auto lo = static_cast<std::uint8_t>(word & 0xFF);
        std::int32_t lx = r.lastPoint.x, ly = r.lastPoint.y;
        if (hi <= REC_VECTOR_LAST) {
            std::uint16_t w1 = 0, w2 = 0, w3 = 0;
            if (!stream.readU16(w1) || !stream.readU16(w2) || !stream.readU16(w3)) break;
            drawVector(r, word, w1, w2, w3);
        } else if (hi == REC_OFFSET_VECTOR) {
            std::uint8_t b[3];
            if (stream.read(b, 3) != 3) break;
            drawVector(r, lx + s8(lo), ly + s8(b[0]), lx + s8(b[1]), ly + s8(b[2]));
        } else if (hi == REC_END) {
            break;
        } else if (hi == REC_SOLID_FILL) {
            if (!readFill(r, stream)) break;
        } else if (hi == REC_COMMON_ENDPOINT) {
            std::uint8_t b0 = 0;
            if (!stream.readU8(b0)) break;
            drawVector(r, lx + s8(lo), ly + s8(b0), lx, ly);
        } else if (hi == REC_COLOR) {
            objects.recolor(lo == FOREGROUND_INDEX ? r.foreground : lo == BACKDROP_INDEX ? r.backdrop : paletteColor(lo));
        }
        // 0x80..0xFA: the record word alone, skipped.
    }
    objects.finish();
    return true;
}

int drawSlideStream(SlideRenderer& r, SlideStream& stream)
{
    SlideHeader header;
    int result = peekSlideLevel(stream) == OLD_FORM_LEVEL ? readOldSlideHeader(stream, header)
                                                           : readNewSlideHeader(stream, header);
    renderRecords(r, stream, header.xDots(), header.yDots());
    return result;
}

} // namespace qorvan::slide
