// Stroke outlines, dashes and the cut at the viewport, checked by sampling
// points against the distances that define them rather than by the
// vertices the code happens to produce.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "import/svg_clip.h"
#include "import/svg_stroke.h"

namespace qorvan::import::svg {
namespace {

    bool inRing(const Ring& r, Vec2 p)
    {
        int winding = 0;
        const auto& v = r.points;
        for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
            const Vec2 a = v[j], b = v[i];
            const double cross = (b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y);
            if (a.y <= p.y && b.y > p.y && cross > 0)
                ++winding;
            else if (a.y > p.y && b.y <= p.y && cross < 0)
                --winding;
        }
        return winding != 0;
    }

    bool inUnion(const std::vector<Ring>& rings, Vec2 p)
    {
        for (const Ring& r : rings)
            if (inRing(r, p)) return true;
        return false;
    }

    double distanceToSegment(Vec2 p, Vec2 a, Vec2 b)
    {
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
    }

    double distanceToLine(const Ring& line, Vec2 p)
    {
        double d = INFINITY;
        const auto& v = line.points;
        for (std::size_t i = 0; i + 1 < v.size(); ++i)
            d = std::min(d, distanceToSegment(p, v[i], v[i + 1]));
        if (line.closed) d = std::min(d, distanceToSegment(p, v.back(), v.front()));
        if (v.size() == 1) d = std::hypot(p.x - v[0].x, p.y - v[0].y);
        return d;
    }

    TEST(StrokeOutline, RoundStrokesCoverExactlyTheirWidth)
    {
        // With round joins and caps the painted area is every point within
        // half the width of the line: sample a grid and compare, leaving a
        // band of the flattening tolerance either side.
        const Ring lines[] = {
            { { { 0, 0 }, { 20, 0 }, { 20, 20 }, { 5, 8 } }, false },
            { { { 0, 0 }, { 10, 0 }, { 0, 1 } }, false }, // a sharp turn
            { { { 0, 0 }, { 20, 0 }, { 10, 15 } }, true }, { { { 7, 7 } }, false }, // a dot
            { { { 0, 0 }, { 10, 0 }, { 10, 0 }, { 20, 0 } }, false }, // a repeated point
        };
        StrokeStyle style;
        style.width = 6;
        style.join = LineJoin::Round;
        style.cap = LineCap::Round;
        const double tolerance = 0.05;
        for (std::size_t k = 0; k < std::size(lines); ++k) {
            std::vector<Ring> out;
            outlineStroke(lines[k], style, tolerance, 1000, out);
            ASSERT_FALSE(out.empty()) << k;
            int wrong = 0;
            for (double x = -5; x <= 25; x += 0.37)
                for (double y = -5; y <= 25; y += 0.37) {
                    const double d = distanceToLine(lines[k], { x, y });
                    if (std::fabs(d - 3) < 2 * tolerance) continue;
                    if (inUnion(out, { x, y }) != (d < 3)) ++wrong;
                }
            EXPECT_EQ(wrong, 0) << "line " << k;
        }
    }

    TEST(StrokeOutline, JoinsAndCaps)
    {
        // An L-shaped line (0,0)-(10,0)-(10,10), width 2: what lies just beyond
        // the outer corner and the ends depends on the join and the caps.
        const Ring corner { { { 0, 0 }, { 10, 0 }, { 10, 10 } }, false };
        struct Case {
            LineJoin join;
            LineCap cap;
            double miterLimit;
            bool miterCorner; // (10.9, -0.9): inside a miter only
            bool bevelCorner; // (10.4, -0.4): inside miter and bevel
            bool beyondEnd; // (-0.5, 0): inside square and round caps
            bool cornerOfEnd; // (-0.9, 0.9): inside the square cap only
        } cases[] = {
            { LineJoin::Miter, LineCap::Butt, 4, true, true, false, false },
            { LineJoin::Miter, LineCap::Butt, 1.2, false, true, false, false }, // limit turns it into a bevel
            { LineJoin::Bevel, LineCap::Square, 4, false, true, true, true },
            { LineJoin::Round, LineCap::Round, 4, false, true, true, false },
        };
        for (const Case& c : cases) {
            StrokeStyle style { 2, c.join, c.cap, c.miterLimit };
            std::vector<Ring> out;
            outlineStroke(corner, style, 0.01, 1000, out);
            const int k = static_cast<int>(&c - cases);
            EXPECT_EQ(inUnion(out, { 10.9, -0.9 }), c.miterCorner) << k;
            EXPECT_EQ(inUnion(out, { 10.4, -0.4 }), c.bevelCorner) << k;
            EXPECT_EQ(inUnion(out, { -0.5, 0 }), c.beyondEnd) << k;
            EXPECT_EQ(inUnion(out, { -0.9, 0.9 }), c.cornerOfEnd) << k;
            // The inside of the turn and the line itself are always painted.
            EXPECT_TRUE(inUnion(out, { 9.5, 0.5 })) << k;
            EXPECT_TRUE(inUnion(out, { 5, 0.9 })) << k;
            EXPECT_FALSE(inUnion(out, { 5, 1.1 })) << k;
        }
    }

    TEST(StrokeOutline, RingsTurnOneWaySoTheyUnite)
    {
        // Under the non-zero rule rings of opposite turn would cancel where
        // they overlap; every ring must have a positive area.
        std::mt19937 random(16);
        std::uniform_real_distribution<double> coord(-50, 50);
        for (int trial = 0; trial < 50; ++trial) {
            Ring line;
            line.closed = trial % 2;
            for (int i = 0; i < 6; ++i)
                line.points.push_back({ coord(random), coord(random) });
            StrokeStyle style { 4, static_cast<LineJoin>(trial % 3),
                static_cast<LineCap>(trial % 3 == 1 ? 2 : trial % 3), 4 };
            std::vector<Ring> out;
            outlineStroke(line, style, 0.1, 100, out);
            for (const Ring& r : out) {
                double area = 0;
                for (std::size_t i = 0, j = r.points.size() - 1; i < r.points.size(); j = i++)
                    area += r.points[j].x * r.points[i].y - r.points[i].x * r.points[j].y;
                EXPECT_GE(area, 0) << trial;
            }
        }
    }

    TEST(Dashes, PiecesFollowThePattern)
    {
        const Ring line { { { 0, 0 }, { 10, 0 }, { 10, 10 } }, false };
        struct Case {
            std::vector<double> dashes;
            double offset;
            std::vector<double> starts; // distance along the line where each dash begins
            std::vector<double> ends;
        } cases[] = {
            { { 4, 2 }, 0, { 0, 6, 12, 18 }, { 4, 10, 16, 20 } },
            { { 4, 2 }, 3, { 0, 3, 9, 15 }, { 1, 7, 13, 19 } },
            { { 4, 2 }, -1, { 1, 7, 13, 19 }, { 5, 11, 17, 20 } },
            { { 5 }, 0, { 0, 10 }, { 5, 15 } }, // an odd list repeats: 5 on, 5 off
            { { 0, 0 }, 0, { 0 }, { 20 } }, // sums to zero: solid
            { { 3, -1 }, 0, { 0 }, { 20 } }, // negative: solid
            { {}, 0, { 0 }, { 20 } },
        };
        auto along = [&](Vec2 p) { return p.y == 0 ? p.x : 10 + p.y; };
        for (const Case& c : cases) {
            std::vector<Ring> out;
            EXPECT_TRUE(applyDashes(line, c.dashes, c.offset, 100, out));
            ASSERT_EQ(out.size(), c.starts.size()) << c.offset;
            for (std::size_t i = 0; i < out.size(); ++i) {
                EXPECT_NEAR(along(out[i].points.front()), c.starts[i], 1e-9) << i;
                EXPECT_NEAR(along(out[i].points.back()), c.ends[i], 1e-9) << i;
            }
        }
        // Past the bound on pieces the line is refused before any piece is
        // made, however fine the pattern; a pattern that fits is cut whole.
        std::vector<Ring> out;
        EXPECT_FALSE(applyDashes(line, { 1e-6, 1e-6 }, 0, 50, out));
        EXPECT_TRUE(out.empty());
        EXPECT_FALSE(applyDashes(line, { 1e-9, 1e-9 }, 0, 2'000'000, out));
        EXPECT_TRUE(out.empty());
        EXPECT_TRUE(applyDashes(line, { 0.5, 0.5 }, 0, 50, out));
        EXPECT_EQ(out.size(), 20u);
    }

    TEST(Clip, PolygonsAndLinesAtTheViewport)
    {
        const Rect r { 0, 0, 10, 10 };
        // A square over the corner keeps the quarter inside.
        std::vector<Vec2> cut = clipPolygon({ { -5, -5 }, { 5, -5 }, { 5, 5 }, { -5, 5 } }, r);
        Ring ring { cut, true };
        EXPECT_TRUE(inRing(ring, { 2, 2 }));
        EXPECT_FALSE(inRing(ring, { 6, 2 }));
        for (Vec2 p : cut) {
            EXPECT_GE(p.x, 0);
            EXPECT_GE(p.y, 0);
        }
        EXPECT_TRUE(clipPolygon({ { 20, 20 }, { 30, 20 }, { 30, 30 } }, r).empty());
        // A polygon that encloses the viewport becomes the viewport.
        cut = clipPolygon({ { -100, -100 }, { 100, -100 }, { 0, 100 } }, r);
        EXPECT_TRUE(inRing(Ring { cut, true }, { 9.9, 9.9 }));

        // A line in and out and in again becomes two pieces.
        std::vector<Ring> pieces;
        clipPolyline({ { 1, 1 }, { 20, 1 }, { 20, 5 }, { 5, 5 } }, false, r, pieces);
        ASSERT_EQ(pieces.size(), 2u);
        EXPECT_DOUBLE_EQ(pieces[0].points.back().x, 10);
        EXPECT_DOUBLE_EQ(pieces[1].points.front().x, 10);
        EXPECT_DOUBLE_EQ(pieces[1].points.back().x, 5);
        // A closed ring wholly inside stays closed; one crossing a side opens.
        pieces.clear();
        clipPolyline({ { 1, 1 }, { 2, 1 }, { 2, 2 } }, true, r, pieces);
        ASSERT_EQ(pieces.size(), 1u);
        EXPECT_TRUE(pieces[0].closed);
        pieces.clear();
        clipPolyline({ { 5, 5 }, { 15, 5 }, { 5, 8 } }, true, r, pieces);
        ASSERT_EQ(pieces.size(), 1u);
        EXPECT_FALSE(pieces[0].closed);
        EXPECT_EQ(pieces[0].points.size(), 4u); // (10,6.5), (5,8), (5,5), (10,5)
    }

} // namespace
} // namespace qorvan::import::svg
