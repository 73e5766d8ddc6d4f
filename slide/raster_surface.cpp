#include "slide/raster_surface.h"

#include "platform/large_pages.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace qorvan::slide {

namespace {

    // From a quarter of a large page up, clearing one large page costs
    // about what faulting in the small pages it replaces costs on a quiet
    // computer, and far less in a virtual machine (on the one of
    // docs/performance.md, 380 small faults took 10 to 15 ms against 0.2 to
    // 2.5 ms for the same 1.5 MB in a large page).
    bool inLargePages(std::size_t bytes)
    {
        return platform::largePagesAllowed() && bytes >= platform::LARGE_PAGE / 4;
    }

    int dimension(int width, int height, bool wantWidth)
    {
        if (!RasterSurface::sizeAllowed(width, height)) return 0;
        return wantWidth ? width : height;
    }

    // floor(n / d) for d > 0.
    std::int64_t floorDiv(std::int64_t n, std::int64_t d)
    {
        std::int64_t q = n / d;
        return (n % d != 0 && n < 0) ? q - 1 : q;
    }

    std::int64_t ceilDiv(std::int64_t n, std::int64_t d)
    {
        return -floorDiv(-n, d);
    }

} // namespace

void* allocateZeroedPixels(std::size_t bytes)
{
    if (!inLargePages(bytes)) return std::calloc(bytes, 1);
    return platform::mapLargePages(bytes);
}

SpareMemory spareAfterPixels(const IndexedRasterSurface& s)
{
    // The allocator was asked for the capacity, so the mapping ends where
    // whole large pages for that many bytes end.
    const std::size_t bytes = s.pixels().capacity();
    if (bytes == 0 || !inLargePages(bytes)) return {};
    auto* end = const_cast<std::uint8_t*>(s.pixels().data()) + bytes;
    return { end, platform::largePagesLength(bytes) - bytes };
}

void freeZeroedPixels(void* pixels, std::size_t bytes) noexcept
{
    if (!pixels) return;
    if (!inLargePages(bytes)) {
        std::free(pixels);
        return;
    }
    platform::unmapLargePages(pixels, bytes);
}

template <typename Pixel> bool BasicRasterSurface<Pixel>::sizeAllowed(int width, int height)
{
    return width > 0 && height > 0 && width <= RASTER_MAX_SIDE && height <= RASTER_MAX_SIDE
        && std::int64_t { width } * height <= RASTER_MAX_PIXELS;
}

template <typename Pixel>
BasicRasterSurface<Pixel>::BasicRasterSurface(
    int width, int height, ColorRef background, std::int64_t fillBudget, std::int64_t lineBudget)
    : DeviceContext({ 0, 0, dimension(width, height, true), dimension(width, height, false) })
    , width_(dimension(width, height, true))
    , height_(dimension(width, height, false))
    , fillBudget_(fillBudget)
    , lineBudget_(lineBudget)
{
    const std::size_t n = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    const Pixel value = encode(background);
    if constexpr (std::is_same_v<Pixel, std::uint8_t>)
        pixels_.resize(n); // index 0: the background
    else
        pixels_.assign(n, value);
    (void)value;
}

template <> ColorRef BasicRasterSurface<ColorRef>::encode(ColorRef color)
{
    return color;
}

template <> ColorRef BasicRasterSurface<ColorRef>::decode(ColorRef value) const
{
    return value;
}

// Called once per primitive, never per pixel, so a plain search will do.
template <> std::uint8_t BasicRasterSurface<std::uint8_t>::encode(ColorRef color)
{
    for (std::size_t i = palette_.size(); i-- > 0;)
        if (palette_[i] == color) return static_cast<std::uint8_t>(i);
    if (palette_.size() == 256) {
        overflowed_ = true;
        return 0;
    }
    palette_.push_back(color);
    return static_cast<std::uint8_t>(palette_.size() - 1);
}

template <> ColorRef BasicRasterSurface<std::uint8_t>::decode(std::uint8_t value) const
{
    return value < palette_.size() ? palette_[value] : 0;
}

template <typename Pixel> void BasicRasterSurface<Pixel>::clear(ColorRef color)
{
    std::fill(pixels_.begin(), pixels_.end(), encode(color));
    fillWork_ = 0;
    fillsRefused_ = 0;
    lineWork_ = 0;
    linesRefused_ = 0;
}

template <typename Pixel> void BasicRasterSurface<Pixel>::put(std::int64_t x, std::int64_t y, Pixel value)
{
    Rect c = clipRect();
    if (x < c.left || x >= c.right || y < c.top || y >= c.bottom) return;
    pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)]
        = value;
}

template <typename Pixel> void BasicRasterSurface<Pixel>::devicePixel(Point p, ColorRef color)
{
    put(p.x, p.y, encode(color));
}

template <typename Pixel> void BasicRasterSurface<Pixel>::deviceLine(Point from, Point to, ColorRef colorRef)
{
    std::int64_t dx = std::int64_t { to.x } - from.x, dy = std::int64_t { to.y } - from.y;
    bool xMajor = std::llabs(dx) >= std::llabs(dy);
    std::int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    std::int64_t steps = std::llabs(major);
    if (steps == 0) return;
    std::int64_t sMajor = major > 0 ? 1 : -1, sMinor = minor >= 0 ? 1 : -1, aMinor = std::llabs(minor);
    std::int64_t start = xMajor ? from.x : from.y, startMinor = xMajor ? from.y : from.x;
    // Only the steps whose major coordinate lies inside the clip are walked,
    // so a line far longer than the surface costs no more than its width.
    Rect c = clipRect();
    std::int64_t lo = xMajor ? c.left : c.top, hi = xMajor ? c.right - 1 : c.bottom - 1;
    if (hi < lo) return;
    std::int64_t i0, i1; // steps with lo <= start + sMajor * i <= hi
    if (sMajor > 0)
        i0 = lo - start, i1 = hi - start;
    else
        i0 = start - hi, i1 = start - lo;
    i0 = std::max<std::int64_t>(i0, 0);
    i1 = std::min<std::int64_t>(i1, steps - 1);
    if (i1 < i0) return;
    if (i1 - i0 + 1 > lineBudget_ - lineWork_) {
        ++linesRefused_;
        return;
    }
    lineWork_ += i1 - i0 + 1;
    const Pixel color = encode(colorRef);
    // The minor offset at step i is the nearest integer to i * aMinor / steps,
    // halves away from the start: (2 * i * aMinor + steps) / (2 * steps).
    // Its quotient and remainder are carried from step to step, one division
    // per line; aMinor <= steps, so a step carries at most once.
    const std::int64_t den = 2 * steps, inc = 2 * aMinor;
    std::int64_t num = 2 * i0 * aMinor + steps;
    std::int64_t q = num / den, r = num % den;
    for (std::int64_t i = i0; i <= i1; ++i) {
        std::int64_t m = startMinor + sMinor * q;
        std::int64_t p = start + sMajor * i;
        if (xMajor)
            put(p, m, color);
        else
            put(m, p, color);
        r += inc;
        if (r >= den) r -= den, ++q;
    }
}

template <typename Pixel>
void BasicRasterSurface<Pixel>::deviceFill(const std::vector<Point>& points, int fillMode, ColorRef fillRef)
{
    Rect c = clipRect();
    if (points.size() < 3 || c.right <= c.left || c.bottom <= c.top) return;
    edges_.clear();
    for (std::size_t i = 0; i < points.size(); ++i) {
        Point a = points[i], b = points[(i + 1) % points.size()];
        if (a.y == b.y) continue;
        if (a.y < b.y)
            edges_.push_back({ a.x, a.y, b.x, b.y, 1, 0, 0, 0, 0 });
        else
            edges_.push_back({ b.x, b.y, a.x, a.y, -1, 0, 0, 0, 0 });
    }
    std::int64_t work = 0;
    for (const Edge& e : edges_)
        work += std::max<std::int64_t>(
            0, std::min<std::int64_t>(e.y1, c.bottom) - std::max<std::int64_t>(e.y0, c.top));
    if (work > fillBudget_ - fillWork_) {
        ++fillsRefused_;
        return;
    }
    fillWork_ += work;
    const Pixel fill = encode(fillRef);
    std::sort(edges_.begin(), edges_.end(), [](const Edge& l, const Edge& r) { return l.y0 < r.y0; });
    std::int64_t yTop = c.top;
    if (!edges_.empty()) yTop = std::max<std::int64_t>(yTop, edges_.front().y0);
    std::size_t next = 0;
    active_.clear();
    for (std::int64_t y = yTop; y < c.bottom; ++y) {
        while (next < edges_.size() && edges_[next].y0 <= y) {
            // The crossing x is ceil((x0 * h + (y - y0) * dx) / h); it is
            // found once when the edge comes in and then carried from row
            // to row as a quotient and remainder, with no division per row.
            Edge& g = edges_[next];
            const std::int64_t h = std::int64_t { g.y1 } - g.y0, dx = std::int64_t { g.x1 } - g.x0;
            const std::int64_t num = std::int64_t { g.x0 } * h + (y - g.y0) * dx;
            g.x = ceilDiv(num, h);
            g.rest = g.x * h - num; // 0 <= rest < h
            g.step = floorDiv(dx, h);
            g.stepRest = dx - g.step * h; // 0 <= stepRest < h
            active_.push_back(next++);
        }
        std::erase_if(active_, [&](std::size_t e) { return edges_[e].y1 <= y; });
        if (active_.empty()) {
            if (next == edges_.size()) break;
            continue;
        }
        crossings_.clear();
        for (std::size_t e : active_) {
            Edge& g = edges_[e];
            crossings_.push_back({ g.x, g.winding });
            g.x += g.step;
            g.rest -= g.stepRest;
            if (g.rest < 0) {
                g.rest += std::int64_t { g.y1 } - g.y0;
                ++g.x;
            }
        }
        std::sort(crossings_.begin(), crossings_.end());
        int wind = 0;
        for (std::size_t k = 0; k < crossings_.size(); ++k) {
            wind = fillMode == WINDING ? wind + crossings_[k].second : wind ^ 1;
            if (wind == 0 || k + 1 == crossings_.size()) continue;
            std::int64_t x0 = std::max<std::int64_t>(crossings_[k].first, c.left);
            std::int64_t x1 = std::min<std::int64_t>(crossings_[k + 1].first, c.right);
            if (x1 <= x0) continue;
            Pixel* row = pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
            std::fill(row + x0, row + x1, fill);
        }
    }
}

template class BasicRasterSurface<ColorRef>;
template class BasicRasterSurface<std::uint8_t>;

} // namespace qorvan::slide
