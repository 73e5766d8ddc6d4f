#include "import/drawing.h"

#include <algorithm>
#include <cmath>

namespace qorvan::import {

namespace {

    constexpr double PI = 3.14159265358979323846;

    Vec2 lerp(Vec2 a, Vec2 b, double t)
    {
        return { a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t };
    }

    // Steps for a polynomial curve from the size of its second difference: a
    // chord of n equal parameter steps strays by at most M / (8 n^2), where M
    // bounds the second derivative (Wang's formula).
    std::size_t curveSegments(double secondDifference, double tolerance, std::size_t maxSegments)
    {
        if (!(tolerance > 0) || !std::isfinite(secondDifference)) return maxSegments;
        const double n = std::ceil(std::sqrt(secondDifference / (8 * tolerance)));
        if (!(n >= 1)) return 1;
        return n >= static_cast<double>(maxSegments) ? maxSegments : static_cast<std::size_t>(n);
    }

} // namespace

void Extents::add(Vec2 p)
{
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
    if (empty) {
        minX = maxX = p.x;
        minY = maxY = p.y;
        empty = false;
        return;
    }
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
}

void Extents::add(const Extents& other)
{
    if (other.empty) return;
    add(Vec2 { other.minX, other.minY });
    add(Vec2 { other.maxX, other.maxY });
}

Extents Drawing::extents() const
{
    Extents e;
    for (const Shape& s : shapes)
        for (const Ring& r : s.rings)
            for (Vec2 p : r.points)
                e.add(p);
    return e;
}

std::size_t Drawing::pointCount() const
{
    std::size_t n = 0;
    for (const Shape& s : shapes)
        for (const Ring& r : s.rings)
            n += r.points.size();
    return n;
}

Grid gridFor(const Extents& extents, double pixels)
{
    Grid g;
    const double span = std::max(extents.width(), extents.height());
    if (span > 0 && pixels > 0 && std::isfinite(span)) g.unitsPerPixel = span / pixels;
    g.tolerance = g.unitsPerPixel / 2;
    return g;
}

std::size_t arcSegments(double radius, double sweep, double tolerance, std::size_t maxSegments)
{
    radius = std::fabs(radius);
    sweep = std::fabs(sweep);
    if (maxSegments < 1) maxSegments = 1;
    if (!std::isfinite(radius) || !std::isfinite(sweep)) return 1;
    if (!(tolerance > 0)) return maxSegments;
    if (tolerance >= radius)
        return std::max<std::size_t>(
            1, std::min<std::size_t>(maxSegments, static_cast<std::size_t>(std::ceil(sweep / (PI / 2)))));
    // The sagitta of a chord through angle a is r (1 - cos(a / 2)).
    const double step = 2 * std::acos(1 - tolerance / radius);
    const double n = std::ceil(sweep / step);
    if (!(n >= 1)) return 1;
    return n >= static_cast<double>(maxSegments) ? maxSegments : static_cast<std::size_t>(n);
}

void appendEllipseArc(std::vector<Vec2>& out, Vec2 centre, double rx, double ry, double rotation, double t0,
    double sweep, double tolerance, std::size_t maxSegments, bool includeStart)
{
    const std::size_t n = arcSegments(std::max(std::fabs(rx), std::fabs(ry)), sweep, tolerance, maxSegments);
    const double c = std::cos(rotation), s = std::sin(rotation);
    for (std::size_t i = includeStart ? 0 : 1; i <= n; ++i) {
        const double t = t0 + sweep * static_cast<double>(i) / static_cast<double>(n);
        const double ex = rx * std::cos(t), ey = ry * std::sin(t);
        out.push_back({ centre.x + ex * c - ey * s, centre.y + ex * s + ey * c });
    }
}

void appendCubic(
    std::vector<Vec2>& out, Vec2 p0, Vec2 p1, Vec2 p2, Vec2 p3, double tolerance, std::size_t maxSegments)
{
    // Second differences of the control polygon, times n(n-1) = 6.
    const double d1 = std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y);
    const double d2 = std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y);
    const std::size_t n
        = curveSegments(6 * std::max(d1, d2), tolerance, std::max<std::size_t>(1, maxSegments));
    for (std::size_t i = 1; i <= n; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(n);
        const Vec2 a = lerp(p0, p1, t), b = lerp(p1, p2, t), c = lerp(p2, p3, t);
        const Vec2 d = lerp(a, b, t), e = lerp(b, c, t);
        out.push_back(i == n ? p3 : lerp(d, e, t));
    }
}

void appendQuadratic(
    std::vector<Vec2>& out, Vec2 p0, Vec2 p1, Vec2 p2, double tolerance, std::size_t maxSegments)
{
    const double d = std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y);
    const std::size_t n = curveSegments(2 * d, tolerance, std::max<std::size_t>(1, maxSegments));
    for (std::size_t i = 1; i <= n; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(n);
        out.push_back(i == n ? p2 : lerp(lerp(p0, p1, t), lerp(p1, p2, t), t));
    }
}

} // namespace qorvan::import
