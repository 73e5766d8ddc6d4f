// A surface over a pixel buffer, row 0 at the top. RasterSurface's pixels
// hold a ColorRef each (R in the low byte); IndexedRasterSurface's hold an
// index into a palette of at most 256 colours, in the order they were first
// drawn: a quarter of the memory, which is most of the time a large picture
// takes, and the form a PNG stores anyway.
//
// Pixel rules, as the graphics system the renderer was made for draws them:
// - Lines are one pixel wide whatever the pen. A line steps one pixel at a
//   time along its major axis (the larger of |dx| and |dy|; x on a tie) from
//   the start pixel towards the end pixel, leaving the end pixel out; at step
//   i the minor coordinate is the start's plus i * d(minor) / d(major)
//   rounded to the nearest integer, halves rounded away from the start.
//   Only the steps inside the clip are walked.
// - Polygons are filled by scan lines through pixel centres (vertices sit on
//   centres): on row y an edge from y0 to y1 counts when min <= y < max, and a
//   pixel x is inside when ceil(left crossing) <= x < ceil(right crossing)
//   between crossings whose winding (WINDING) or parity (ALTERNATE) is
//   inside. Then every edge, the closing one included, is drawn as a line.
// - Everything is clipped to the clip rectangle.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "slide/device_context.h"

namespace qorvan::slide {

// Bounds on a raster surface: no side beyond RASTER_MAX_SIDE and no more than
// RASTER_MAX_PIXELS pixels (256 MiB). A larger request gives an empty surface.
inline constexpr int RASTER_MAX_SIDE = 16384;
inline constexpr std::int64_t RASTER_MAX_PIXELS = std::int64_t { 1 } << 26;

// Bound on the fill work of one drawing (from creation or the last clear):
// the sum over fills of edges times the rows they cross. A fill that would
// exceed what is left is outlined but not filled, so a slide of many
// 65535-vertex fills costs time in proportion to its size, never its square.
inline constexpr std::int64_t RASTER_FILL_BUDGET = std::int64_t { 1 } << 24;

// Bound on the line work of one drawing: the pixel steps walked by lines,
// fill outlines included. A line that would exceed what is left is not
// drawn. Lines are walked only inside the clip, but a fill's outline of
// 65535 edges that each cross the whole picture would otherwise cost tens
// of millions of steps per fill; this keeps any slide to about a second.
// The largest real slide takes about 2 million steps at 4096 x 4096.
inline constexpr std::int64_t RASTER_LINE_BUDGET = std::int64_t { 1 } << 27;

// Memory of `bytes` bytes that starts zeroed by the system rather than by a
// pass over it. A picture's pages are all touched in the end, and the first
// touch of each page is a fault that costs far more than drawing on it, so
// a large picture lives in large pages where the system offers them (a few
// faults instead of hundreds). Null when there is no memory.
void* allocateZeroedPixels(std::size_t bytes);
// Gives back what allocateZeroedPixels(bytes) returned.
void freeZeroedPixels(void* pixels, std::size_t bytes) noexcept;

// Memory that is no part of anything, left over where a block was given
// whole large pages.
struct SpareMemory {
    void* data = nullptr;
    std::size_t size = 0;
};

template <typename T> struct ZeroedAllocator {
    using value_type = T;
    ZeroedAllocator() = default;
    template <typename U> ZeroedAllocator(const ZeroedAllocator<U>&) noexcept { }
    T* allocate(std::size_t n)
    {
        void* p = allocateZeroedPixels(n * sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept { freeZeroedPixels(p, n * sizeof(T)); }
    // Value-initialising is what allocateZeroedPixels has done already.
    template <typename U> void construct(U*) noexcept { }
    template <typename U, typename... Args> void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    friend bool operator==(const ZeroedAllocator&, const ZeroedAllocator&) { return true; }
};

// The indexed surface's background is always index 0, the first colour it
// is given, so its zeroed memory is already the background.
template <typename Pixel>
using PixelBuffer = std::conditional_t<std::is_same_v<Pixel, std::uint8_t>,
    std::vector<Pixel, ZeroedAllocator<Pixel>>, std::vector<Pixel>>;

// A surface may be given smaller budgets than RASTER_FILL_BUDGET and
// RASTER_LINE_BUDGET.
template <typename Pixel> class BasicRasterSurface : public DeviceContext {
public:
    BasicRasterSurface(int width, int height, ColorRef background = 0,
        std::int64_t fillBudget = RASTER_FILL_BUDGET, std::int64_t lineBudget = RASTER_LINE_BUDGET);

    // False when the requested size was refused (width and height are 0).
    bool valid() const { return width_ > 0 && height_ > 0; }
    static bool sizeAllowed(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }
    ColorRef pixel(int x, int y) const
    {
        return decode(pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_)
            + static_cast<std::size_t>(x)]);
    }
    const PixelBuffer<Pixel>& pixels() const { return pixels_; }
    // Indexed: the colours the indices stand for. A drawing that needs a
    // 257th colour sets overflowed() and its pixels are then wrong; draw it
    // again on a RasterSurface.
    const std::vector<ColorRef>& palette() const { return palette_; }
    bool overflowed() const { return overflowed_; }
    // Fills the surface and renews the fill and line budgets.
    void clear(ColorRef color);
    std::int64_t fillWork() const { return fillWork_; }
    int fillsRefused() const { return fillsRefused_; }
    std::int64_t lineWork() const { return lineWork_; }
    std::int64_t linesRefused() const { return linesRefused_; }

protected:
    void deviceLine(Point from, Point to, ColorRef color) override;
    void devicePixel(Point p, ColorRef color) override;
    void deviceFill(const std::vector<Point>& points, int fillMode, ColorRef fill) override;

private:
    void put(std::int64_t x, std::int64_t y, Pixel value);
    Pixel encode(ColorRef color);
    ColorRef decode(Pixel value) const;

    int width_;
    int height_;
    PixelBuffer<Pixel> pixels_;
    std::vector<ColorRef> palette_;
    bool overflowed_ = false;
    std::int64_t fillBudget_;
    std::int64_t fillWork_ = 0;
    int fillsRefused_ = 0;
    std::int64_t lineBudget_;
    std::int64_t lineWork_ = 0;
    std::int64_t linesRefused_ = 0;
    struct Edge {
        std::int32_t x0, y0, x1, y1; // y0 < y1
        int winding;
        // While the fill walks the rows: the crossing x on the current row
        // and what carries it to the next (see deviceFill).
        std::int64_t x = 0, rest = 0, step = 0, stepRest = 0;
    };
    std::vector<Edge> edges_;
    std::vector<std::size_t> active_;
    std::vector<std::pair<std::int64_t, int>> crossings_;
};

using RasterSurface = BasicRasterSurface<ColorRef>;
using IndexedRasterSurface = BasicRasterSurface<std::uint8_t>;

// What is left of the large pages a picture's pixels were given: faulted
// in with them, so the encoder's working memory costs no faults of its own
// there. Empty when the pixels are on the heap. Valid while the surface
// lives and keeps its size.
SpareMemory spareAfterPixels(const IndexedRasterSurface& s);

} // namespace qorvan::slide
