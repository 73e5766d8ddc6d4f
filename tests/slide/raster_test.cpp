// The raster surface against a deliberately plain model of the same rules:
// lines by exact rational arithmetic over every step, fills by testing every
// pixel centre against every edge.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "slide/raster_surface.h"

namespace qorvan::slide {
namespace {

    constexpr int W = 40, H = 30;
    using Image = std::vector<ColorRef>;

    void plainPut(Image& img, Rect clip, long x, long y, ColorRef c)
    {
        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom)
            img[static_cast<std::size_t>(y * W + x)] = c;
    }

    void plainLine(Image& img, Rect clip, Point a, Point b, ColorRef c)
    {
        long dx = b.x - a.x, dy = b.y - a.y;
        long steps = std::max(std::labs(dx), std::labs(dy));
        bool xMajor = std::labs(dx) >= std::labs(dy);
        for (long i = 0; i < steps; ++i) {
            // Exact: minor offset = i * minor / steps, nearest, halves away from the start.
            double t
                = static_cast<double>(i) * static_cast<double>(xMajor ? dy : dx) / static_cast<double>(steps);
            long m = static_cast<long>(std::floor(std::fabs(t) + 0.5)) * (t < 0 ? -1 : 1);
            long sx = dx > 0 ? 1 : -1, sy = dy > 0 ? 1 : -1;
            if (xMajor)
                plainPut(img, clip, a.x + sx * i, a.y + m, c);
            else
                plainPut(img, clip, a.x + m, a.y + sy * i, c);
        }
    }

    void plainPolygon(
        Image& img, Rect clip, const std::vector<Point>& p, int mode, ColorRef fill, ColorRef pen)
    {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                int wind = 0, parity = 0;
                for (std::size_t i = 0; i < p.size(); ++i) {
                    Point a = p[i], b = p[(i + 1) % p.size()];
                    if (a.y == b.y) continue;
                    int dir = a.y < b.y ? 1 : -1;
                    if (a.y > b.y) std::swap(a, b);
                    if (!(a.y <= y && y < b.y)) continue;
                    double cx = a.x + static_cast<double>(y - a.y) * (b.x - a.x) / (b.y - a.y);
                    // The pixel lies right of the crossing's ceiling.
                    if (x >= std::ceil(cx - 1e-9)) wind += dir, parity ^= 1;
                }
                bool inside = mode == WINDING ? wind != 0 : parity != 0;
                if (inside) plainPut(img, clip, x, y, fill);
            }
        for (std::size_t i = 0; i < p.size(); ++i)
            plainLine(img, clip, p[i], p[(i + 1) % p.size()], pen);
    }

    TEST(RasterSurface, MatchesPlainModel)
    {
        std::mt19937 rng(20261208);
        auto coord = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        for (int round = 0; round < 300; ++round) {
            RasterSurface s(W, H);
            Image want(W * H, 0);
            Rect clip { 0, 0, W, H };
            if (round % 3 == 1) {
                clip = { coord(0, 10), coord(0, 10), coord(20, W), coord(15, H) };
                Handle rgn = s.CreateRectRgn(clip.left, clip.top, clip.right, clip.bottom);
                s.SelectClipRgn(rgn);
                s.DeleteObject(rgn);
            }
            for (int k = 0; k < 6; ++k) {
                ColorRef c = rgb(static_cast<unsigned>(k * 40 + 1), 7, static_cast<unsigned>(round));
                Handle pen = s.CreatePen(PS_SOLID, 0, c), brush = s.CreateSolidBrush(c ^ 0xFFu);
                Handle op = s.SelectObject(pen), ob = s.SelectObject(brush);
                if (k % 2 == 0) {
                    Point a { coord(-20, W + 20), coord(-20, H + 20) },
                        b { coord(-20, W + 20), coord(-20, H + 20) };
                    s.MoveTo(a.x, a.y);
                    s.LineTo(b.x, b.y);
                    plainLine(want, clip, a, b, c);
                } else {
                    std::vector<Point> p(static_cast<std::size_t>(coord(3, 7)));
                    for (Point& q : p)
                        q = { coord(-5, W + 5), coord(-5, H + 5) };
                    int mode = k == 1 ? WINDING : ALTERNATE;
                    s.SetPolyFillMode(mode);
                    s.Polygon(p.data(), static_cast<int>(p.size()));
                    plainPolygon(want, clip, p, mode, c ^ 0xFFu, c);
                }
                s.SelectObject(op);
                s.SelectObject(ob);
                s.DeleteObject(pen);
                s.DeleteObject(brush);
            }
            ASSERT_EQ(s.pixels(), want) << "round " << round;
        }
    }

    TEST(RasterSurface, FarLinesAndLimits)
    {
        RasterSurface s(W, H);
        s.SelectObject(s.CreatePen(PS_SOLID, 0, rgb(255, 255, 255)));
        s.MoveTo(-500000000, 5);
        s.LineTo(500000000, 5);
        for (int x = 0; x < W; ++x)
            EXPECT_NE(s.pixel(x, 5), 0u);
        s.SetPixel(-1, 0, 1);
        s.SetPixel(W, 0, 1);
        EXPECT_EQ(s.pixel(0, 0), 0u) << "pixels outside are clipped";

        EXPECT_FALSE(RasterSurface(RASTER_MAX_SIDE + 1, 1).valid());
        EXPECT_FALSE(RasterSurface(30000, 30000).valid());
        EXPECT_FALSE(RasterSurface(0, 5).valid());
        EXPECT_TRUE(RasterSurface::sizeAllowed(8192, 8192));
        RasterSurface empty(30000, 30000);
        empty.MoveTo(0, 0);
        empty.LineTo(10, 10);
        EXPECT_TRUE(empty.pixels().empty());
    }

    // The encoder works in what is left of a large picture's last large
    // page: memory of no pixel, and none at all for a picture on the heap.
    TEST(RasterSurface, SpareMemoryIsPastEveryPixel)
    {
        IndexedRasterSurface small(40, 30);
        EXPECT_EQ(spareAfterPixels(small).size, 0u);

        IndexedRasterSurface large(1000, 800);
        large.SelectObject(large.CreatePen(PS_SOLID, 0, rgb(255, 255, 255)));
        large.MoveTo(0, 0);
        large.LineTo(999, 799);
        const std::vector<std::uint8_t> before(large.pixels().begin(), large.pixels().end());
        const SpareMemory spare = spareAfterPixels(large);
        if (spare.size == 0) GTEST_SKIP() << "a memory-checking build keeps pictures on the heap";
        const auto* first = large.pixels().data();
        const auto* at = static_cast<const std::uint8_t*>(spare.data);
        EXPECT_GE(at, first + large.pixels().size());
        // The picture and its spare fill whole large pages.
        EXPECT_EQ((large.pixels().size() + spare.size) % (std::size_t { 2 } << 20), 0u);
        std::memset(spare.data, 0xAB, spare.size);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), large.pixels().begin()));
    }

} // namespace
} // namespace qorvan::slide
