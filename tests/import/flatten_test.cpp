#include "import/drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace qorvan::import {
namespace {

    constexpr double PI = 3.14159265358979323846;

    double segmentDistance(Vec2 p, Vec2 a, Vec2 b)
    {
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
    }

    // The farthest any point of the true curve lies from the flattened polyline.
    double worstDeviation(const std::vector<Vec2>& line, const std::function<Vec2(double)>& curve)
    {
        double worst = 0;
        for (int i = 0; i <= 4000; ++i) {
            const Vec2 p = curve(i / 4000.0);
            double best = 1e300;
            for (std::size_t k = 1; k < line.size(); ++k)
                best = std::min(best, segmentDistance(p, line[k - 1], line[k]));
            worst = std::max(worst, best);
        }
        return worst;
    }

    struct CurveCase {
        const char* name;
        double tolerance;
    };

    class Flattening : public ::testing::TestWithParam<CurveCase> { };

    TEST_P(Flattening, StaysWithinToleranceAndEndsOnTheEndPoint)
    {
        const double tol = GetParam().tolerance;
        {
            std::vector<Vec2> pts;
            appendEllipseArc(pts, { 10, 20 }, 50, 20, 0.3, 0.5, 4.0, tol, 100000, true);
            auto curve = [](double t) {
                const double a = 0.5 + 4.0 * t, c = std::cos(0.3), s = std::sin(0.3);
                const double ex = 50 * std::cos(a), ey = 20 * std::sin(a);
                return Vec2 { 10 + ex * c - ey * s, 20 + ex * s + ey * c };
            };
            EXPECT_LE(worstDeviation(pts, curve), tol * 1.01) << "ellipse";
            EXPECT_NEAR(pts.back().x, curve(1).x, 1e-9);
            EXPECT_NEAR(pts.back().y, curve(1).y, 1e-9);
        }
        {
            const Vec2 p0 { 0, 0 }, p1 { 30, 90 }, p2 { 80, -40 }, p3 { 100, 10 };
            std::vector<Vec2> pts { p0 };
            appendCubic(pts, p0, p1, p2, p3, tol, 100000);
            auto curve = [&](double t) {
                const double u = 1 - t;
                return Vec2 { u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x
                        + t * t * t * p3.x,
                    u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y };
            };
            EXPECT_LE(worstDeviation(pts, curve), tol * 1.01) << "cubic";
            EXPECT_EQ(pts.back().x, p3.x);
            EXPECT_EQ(pts.back().y, p3.y);
        }
        {
            const Vec2 p0 { 0, 0 }, p1 { 50, 100 }, p2 { 100, 0 };
            std::vector<Vec2> pts { p0 };
            appendQuadratic(pts, p0, p1, p2, tol, 100000);
            auto curve = [&](double t) {
                const double u = 1 - t;
                return Vec2 { u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x,
                    u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y };
            };
            EXPECT_LE(worstDeviation(pts, curve), tol * 1.01) << "quadratic";
        }
    }

    INSTANTIATE_TEST_SUITE_P(Tolerances, Flattening,
        ::testing::Values(
            CurveCase { "coarse", 2.0 }, CurveCase { "pixel", 0.5 }, CurveCase { "fine", 0.01 }),
        [](const auto& p) { return std::string(p.param.name); });

    TEST(Flattening, SegmentCountsAreBoundedForHostileInput)
    {
        EXPECT_EQ(arcSegments(1e300, 2 * PI, 1e-300, 500), 500u);
        EXPECT_EQ(arcSegments(NAN, 2 * PI, 0.5, 500), 1u);
        EXPECT_EQ(arcSegments(10, 2 * PI, 0, 500), 500u);
        EXPECT_GE(arcSegments(0, 2 * PI, 0.5, 500), 1u);
        std::vector<Vec2> pts;
        appendCubic(pts, { 0, 0 }, { 1e308, 0 }, { -1e308, 0 }, { 1, 1 }, 1e-9, 64);
        EXPECT_EQ(pts.size(), 64u);
    }

    TEST(GridFor, PutsTheLongerSideOnThePixels)
    {
        Extents e;
        e.add(Vec2 { -10, 5 });
        e.add(Vec2 { 190, 55 });
        const Grid g = gridFor(e, 400);
        EXPECT_DOUBLE_EQ(g.unitsPerPixel, 0.5);
        EXPECT_DOUBLE_EQ(g.tolerance, 0.25);
        EXPECT_DOUBLE_EQ(gridFor(Extents {}, 400).unitsPerPixel, 1);
    }

} // namespace
} // namespace qorvan::import
