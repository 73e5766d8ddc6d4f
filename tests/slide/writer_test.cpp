// Slides from the writer read back through the record walker and the
// renderer: the lines drawn are the lines asked for, the fills cover what a
// plain point-in-polygon model says they cover, and every record is one the
// readers accept.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "slide/byte_order.h"
#include "slide/format.h"
#include "slide/records.h"
#include "slide/writer.h"
#include "tests/slide/slide_builder.h"

namespace qorvan::slide {
namespace {

    using Segment = std::pair<std::pair<int, int>, std::pair<int, int>>;

    Segment seg(Point a, Point b)
    {
        auto pa = std::make_pair(a.x, a.y), pb = std::make_pair(b.x, b.y);
        return pa < pb ? Segment { pa, pb } : Segment { pb, pa };
    }

    struct Walked {
        std::multiset<Segment> lines;
        std::vector<std::vector<Point>> fills;
        std::vector<int> colours;
        RecordWalk walk;
    };

    Walked walk(const std::vector<std::uint8_t>& bytes)
    {
        Walked w;
        w.walk = walkRecords(
            bytes.data(), bytes.size(), NEW_HEADER_SIZE, ByteOrder::Little, [&](const SlideRecord& r) {
                switch (r.kind) {
                case RecordKind::Vector:
                case RecordKind::OffsetVector:
                case RecordKind::CommonEndpoint:
                    w.lines.insert(seg(r.from, r.to));
                    break;
                case RecordKind::SolidFill:
                    if (!r.vertices->empty()) w.fills.push_back(*r.vertices);
                    break;
                case RecordKind::Colour:
                    w.colours.push_back(r.colour);
                    break;
                default:
                    break;
                }
            });
        return w;
    }

    struct PolylineCase {
        const char* name;
        std::vector<Point> points;
        bool closed;
        std::size_t maxBytes; // of the records, end record excluded
    };

    class WriterLines : public ::testing::TestWithParam<PolylineCase> { };

    TEST_P(WriterLines, ReadBackAsTheSameSegmentsInFewBytes)
    {
        const PolylineCase& c = GetParam();
        SlideWriter w(4000, 1000);
        w.polyline(c.points, c.closed);
        const auto bytes = w.finish();
        const Walked got = walk(bytes);
        EXPECT_TRUE(got.walk.endRecord);
        EXPECT_FALSE(got.walk.cutShort);
        std::multiset<Segment> want;
        for (std::size_t i = 0; i + 1 < c.points.size(); ++i)
            want.insert(seg(c.points[i], c.points[i + 1]));
        if (c.closed) want.insert(seg(c.points.back(), c.points.front()));
        EXPECT_EQ(got.lines, want);
        // Each segment runs the drawing's way: the renderer leaves a line's to point out.
        std::vector<std::pair<Point, Point>> directed;
        walkRecords(
            bytes.data(), bytes.size(), NEW_HEADER_SIZE, ByteOrder::Little, [&](const SlideRecord& r) {
                if (r.kind != RecordKind::End && r.kind != RecordKind::Colour)
                    directed.push_back({ r.from, r.to });
            });
        for (std::size_t i = 0; i + 1 < c.points.size(); ++i)
            EXPECT_NE(
                std::find_if(directed.begin(), directed.end(),
                    [&](const auto& d) { return d.first == c.points[i] && d.second == c.points[i + 1]; }),
                directed.end())
                << "segment " << i << " reversed";
        EXPECT_LE(bytes.size() - NEW_HEADER_SIZE - 2, c.maxBytes);
    }

    std::vector<Point> staircase(int steps, int dx, int dy, Point from)
    {
        std::vector<Point> p { from };
        for (int i = 0; i < steps; ++i)
            p.push_back({ p.back().x + dx, p.back().y + (i % 2 ? dy : -dy) });
        return p;
    }

    INSTANTIATE_TEST_SUITE_P(Shapes, WriterLines,
        ::testing::Values(
            // One absolute record, then three bytes per step.
            PolylineCase { "short_steps", staircase(100, 5, 7, { 500, 500 }), false, 8 + 99 * 3 },
            PolylineCase { "long_steps", staircase(10, 300, 200, { 10, 500 }), false, 10 * 8 },
            PolylineCase { "byte_edges", { { 1000, 500 }, { 1127, 373 }, { 1000, 246 }, { 1127, 119 } },
                false, 8 + 2 * 3 },
            PolylineCase { "beyond_byte", { { 1000, 500 }, { 1128, 500 }, { 1000, 371 } }, false, 2 * 8 },
            PolylineCase {
                "closed_square", { { 0, 0 }, { 100, 0 }, { 100, 100 }, { 0, 100 } }, true, 8 + 3 * 3 },
            PolylineCase { "corners", { { 0, 0 }, { 4000, 1000 } }, false, 8 }),
        [](const auto& p) { return std::string(p.param.name); });

    TEST(Writer, ColourRecordsOnlyWhereTheColourChanges)
    {
        SlideWriter w(100, 100);
        for (int c : { 1, 1, 2, 2, 2, 1, 7, 7 }) {
            w.setColour(static_cast<std::uint8_t>(c));
            w.polyline({ { 10, 10 }, { 20, 20 } }, false);
        }
        EXPECT_EQ(walk(w.finish()).colours, (std::vector<int> { 1, 2, 1, 7 }));
    }

    // Readers that keep no last point before the first vector or across a
    // colour change (sldtoppm) would lose every line up to the next full one.
    TEST(Writer, TheFirstLineAndTheFirstAfterEachColourChangeAreFullVectors)
    {
        SlideWriter w(400, 400);
        w.polyline({ { 3, 3 }, { 5, 9 }, { 8, 2 } }, false);
        w.setColour(2);
        w.polyline({ { 6, 6 }, { 7, 7 } }, false);
        w.fillArea({ { { 10, 10 }, { 20, 10 }, { 15, 20 } } }, false);
        w.polyline({ { 9, 9 }, { 11, 12 } }, false);
        w.setColour(3);
        w.fillArea({ { { 30, 30 }, { 40, 30 }, { 35, 40 } } }, false);
        w.polyline({ { 12, 12 }, { 14, 15 } }, false);
        const auto bytes = w.finish();
        std::vector<std::string> kinds;
        walkRecords(
            bytes.data(), bytes.size(), NEW_HEADER_SIZE, ByteOrder::Little, [&](const SlideRecord& r) {
                switch (r.kind) {
                case RecordKind::Vector:
                    kinds.push_back("vector");
                    break;
                case RecordKind::OffsetVector:
                    kinds.push_back("offset");
                    break;
                case RecordKind::CommonEndpoint:
                    kinds.push_back("common");
                    break;
                case RecordKind::Colour:
                    kinds.push_back("colour");
                    break;
                case RecordKind::SolidFill:
                    if (r.vertices && !r.vertices->empty()) kinds.push_back("fill");
                    break;
                default:
                    break;
                }
            });
        EXPECT_EQ(kinds,
            (std::vector<std::string> {
                "vector", "common", "colour", "vector", "fill", "offset", "colour", "fill", "vector" }));
    }

    TEST(Writer, HeaderPassesTheCheckAndSaysSquarePixels)
    {
        SlideWriter w(1874, 829);
        const auto bytes = w.finish();
        std::string s(bytes.begin(), bytes.end());
        MemoryStream stream(s.data(), s.size());
        SlideHeader h;
        EXPECT_EQ(readNewSlideHeader(stream, h), 0);
        EXPECT_EQ(h.xDots(), 1874);
        EXPECT_EQ(h.yDots(), 829);
        const HeaderFields f = readHeaderFields(bytes.data(), bytes.size(), ByteOrder::Little);
        EXPECT_NEAR(f.aspect, 1874.0 / 829.0, 1e-6);
    }

    TEST(Writer, PointsOutsideTheAreaAreClampedToIt)
    {
        SlideWriter w(100, 50);
        w.polyline({ { -40, -5 }, { 300, 60 } }, false);
        const Walked got = walk(w.finish());
        EXPECT_EQ(got.lines, (std::multiset<Segment> { seg({ 0, 0 }, { 100, 50 }) }));
    }

    // The plain model: a pixel centre is inside by crossing count or winding.
    bool insideModel(const std::vector<std::vector<PointF>>& rings, bool evenOdd, double x, double y)
    {
        int wind = 0, cross = 0;
        for (const auto& r : rings)
            for (std::size_t i = 0; i < r.size(); ++i) {
                PointF a = r[i], b = r[(i + 1) % r.size()];
                if ((a.y <= y) == (b.y <= y)) continue;
                const double cx = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
                if (cx > x) {
                    ++cross;
                    wind += a.y < b.y ? 1 : -1;
                }
            }
        return evenOdd ? (cross & 1) != 0 : wind != 0;
    }

    double distanceToEdges(const std::vector<std::vector<PointF>>& rings, double x, double y)
    {
        double best = 1e300;
        for (const auto& r : rings)
            for (std::size_t i = 0; i < r.size(); ++i) {
                PointF a = r[i], b = r[(i + 1) % r.size()];
                const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
                double t = len2 > 0 ? ((x - a.x) * dx + (y - a.y) * dy) / len2 : 0;
                t = std::clamp(t, 0.0, 1.0);
                best = std::min(best, std::hypot(x - a.x - t * dx, y - a.y - t * dy));
            }
        return best;
    }

    std::vector<PointF> regular(int n, double cx, double cy, double r, double turn = 0, int step = 1)
    {
        std::vector<PointF> p;
        for (int i = 0; i < n; ++i) {
            const double a = turn + 2 * 3.14159265358979 * (i * step % n) / n;
            p.push_back({ cx + r * std::cos(a), cy + r * std::sin(a) });
        }
        return p;
    }

    struct FillCase {
        const char* name;
        std::vector<std::vector<PointF>> rings;
        bool evenOdd;
    };

    class WriterFills : public ::testing::TestWithParam<FillCase> { };

    TEST_P(WriterFills, CoverWhatThePlainModelCoversInSmallConvexPieces)
    {
        const FillCase& c = GetParam();
        constexpr int W = 120, H = 100;
        SlideWriter w(W, H);
        w.setColour(1);
        w.fillArea(c.rings, c.evenOdd);
        const auto bytes = w.finish();
        const Walked got = walk(bytes);
        ASSERT_TRUE(got.walk.endRecord);
        ASSERT_FALSE(got.fills.empty());
        for (const auto& f : got.fills) {
            EXPECT_LE(f.size(), MAX_FILL_VERTICES);
            EXPECT_GE(f.size(), 3u);
        }
        RasterSurface s(W + 1, H + 1);
        qorvan::testing::renderTo(s, std::string(bytes.begin(), bytes.end()));
        int inside = 0, wrong = 0;
        for (int y = 0; y <= H; ++y)
            for (int x = 0; x <= W; ++x) {
                const bool want = insideModel(c.rings, c.evenOdd, x, y);
                const bool have = s.pixel(x, H - y) != 0;
                inside += want;
                // Pixels within a pixel of an edge may go either way on the grid.
                if (want != have && distanceToEdges(c.rings, x, y) > 1.0) ++wrong;
            }
        EXPECT_GT(inside, 50);
        EXPECT_EQ(wrong, 0) << c.name;
    }

    std::vector<PointF> square(double x0, double y0, double x1, double y1, bool clockwise)
    {
        std::vector<PointF> p { { x0, y0 }, { x1, y0 }, { x1, y1 }, { x0, y1 } };
        if (clockwise) std::reverse(p.begin(), p.end());
        return p;
    }

    // Quadrilaterals laid over each other from a fixed seed, many of them
    // crossing themselves: most crossings lie inside the area.
    std::vector<std::vector<PointF>> pile(int count, unsigned seed)
    {
        std::vector<std::vector<PointF>> rings;
        for (int i = 0; i < count; ++i) {
            std::vector<PointF> q;
            for (int k = 0; k < 4; ++k) {
                seed = seed * 1103515245u + 12345u;
                const double x = 5 + (seed >> 16) % 111;
                seed = seed * 1103515245u + 12345u;
                const double y = 5 + (seed >> 16) % 91;
                q.push_back({ x + 0.25, y + 0.5 });
            }
            rings.push_back(q);
        }
        return rings;
    }

    INSTANTIATE_TEST_SUITE_P(Shapes, WriterFills,
        ::testing::Values(FillCase { "triangle", { { { 5, 5 }, { 100, 20 }, { 40, 90 } } }, false },
            FillCase { "circle_of_40", { regular(40, 60, 50, 40) }, false },
            FillCase { "concave_l",
                { { { 10, 10 }, { 110, 10 }, { 110, 30 }, { 30, 30 }, { 30, 90 }, { 10, 90 } } }, false },
            FillCase {
                "hole_even_odd", { square(10, 10, 110, 90, false), square(40, 30, 80, 70, false) }, true },
            FillCase { "hole_reversed_nonzero",
                { square(10, 10, 110, 90, false), square(40, 30, 80, 70, true) }, false },
            FillCase { "same_way_nonzero_fills_hole",
                { square(10, 10, 110, 90, false), square(40, 30, 80, 70, false) }, false },
            FillCase { "star_even_odd", { regular(5, 60, 50, 45, 0.3, 2) }, true },
            FillCase { "star_nonzero", { regular(5, 60, 50, 45, 0.3, 2) }, false },
            FillCase { "comb",
                { { { 5, 5 }, { 115, 5 }, { 115, 95 }, { 100, 95 }, { 100, 20 }, { 85, 20 }, { 85, 95 },
                    { 70, 95 }, { 70, 20 }, { 55, 20 }, { 55, 95 }, { 5, 95 } } },
                false },
            FillCase { "pile_of_quads_nonzero", pile(40, 7), false },
            FillCase { "pile_of_quads_even_odd", pile(40, 7), true },
            FillCase { "two_quads_even_odd", pile(2, 99), true }),
        [](const auto& p) { return std::string(p.param.name); });

    TEST(Writer, CuttingAreasIsBoundedAndPastTheBoundTheyAreOutlined)
    {
        const auto rings = pile(200, 11);
        // Unbounded, the pile is cut into pieces; the pieces of its
        // interior crossings are not made, so there are far fewer pieces
        // than crossings (about 20 000 of 800 edges).
        SlideWriter whole(120, 100);
        whole.fillArea(rings, false);
        EXPECT_EQ(whole.stats().outlinedFills, 0u);
        EXPECT_GT(whole.stats().fills, 10u);
        EXPECT_LT(whole.stats().fills, 5000u);
        // With little work left, it is outlined: lines, no fill; and so is
        // every later area that needs cutting, while a convex one is filled.
        SlideWriter w(120, 100);
        w.setFillCutWork(1000);
        w.fillArea(rings, false);
        EXPECT_EQ(w.stats().outlinedFills, 1u);
        EXPECT_EQ(w.stats().fills, 0u);
        w.fillArea({ square(10, 10, 20, 20, false), square(30, 30, 40, 40, false) }, false);
        EXPECT_EQ(w.stats().outlinedFills, 2u);
        w.fillArea({ square(10, 10, 20, 20, false) }, false);
        EXPECT_EQ(w.stats().fills, 1u);
        const Walked got = walk(w.finish());
        EXPECT_EQ(got.fills.size(), 1u);
        EXPECT_GE(got.lines.size(), 400u);
    }

    TEST(Writer, AFlatFillStillLeavesALine)
    {
        SlideWriter w(100, 100);
        w.fillArea({ { { 10, 50 }, { 90, 50 }, { 50, 50 } } }, false);
        const Walked got = walk(w.finish());
        EXPECT_TRUE(got.fills.empty());
        EXPECT_FALSE(got.lines.empty());
    }

} // namespace
} // namespace qorvan::slide
