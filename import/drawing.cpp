#include "import/drawing.h"

#include <algorithm>
#include <cmath>
#include <functional>

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

    // De Boor evaluation of a (rational) B-spline at t.
    Vec3 deBoor(int p, const std::vector<double>& U, const std::vector<Vec3>& P, const std::vector<double>& W,
        double t)
    {
        const int n = static_cast<int>(P.size());
        int k = p;
        while (k < n - 1 && t >= U[static_cast<std::size_t>(k + 1)])
            ++k;
        double d[12][4];
        for (int j = 0; j <= p; ++j) {
            const auto idx = static_cast<std::size_t>(std::clamp(j + k - p, 0, n - 1));
            const double w = W.empty() ? 1.0 : W[idx];
            d[j][0] = P[idx].x * w;
            d[j][1] = P[idx].y * w;
            d[j][2] = P[idx].z * w;
            d[j][3] = w;
        }
        for (int r = 1; r <= p; ++r)
            for (int j = p; j >= r; --j) {
                const double lo = U[static_cast<std::size_t>(j + k - p)],
                             hi = U[static_cast<std::size_t>(j + 1 + k - r)];
                const double a = hi - lo != 0 ? (t - lo) / (hi - lo) : 0;
                for (int c = 0; c < 4; ++c)
                    d[j][c] = (1 - a) * d[j - 1][c] + a * d[j][c];
            }
        const double w = d[p][3] != 0 ? d[p][3] : 1;
        return { d[p][0] / w, d[p][1] / w, d[p][2] / w };
    }

    double distanceToChord(Vec3 p, Vec3 a, Vec3 b)
    {
        const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
        double t = l2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / l2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
    }

} // namespace

double len(Vec3 a)
{
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}

Vec3 unit(Vec3 a)
{
    const double l = len(a);
    return l > 0 ? a * (1 / l) : Vec3 { 0, 0, 1 };
}

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

bool flattenBSpline(int degree, std::vector<double> knots, const std::vector<Vec3>& ctrl,
    std::vector<double> weights, double tol, std::size_t maxSegments, std::vector<Vec3>& out)
{
    const int n = static_cast<int>(ctrl.size());
    if (n < 2) return false;
    const int p = std::min(degree, n - 1);
    if (knots.size() != static_cast<std::size_t>(n + p + 1)) {
        // Missing or inconsistent knots: a clamped uniform vector.
        knots.clear();
        for (int i = 0; i < n + p + 1; ++i)
            knots.push_back(std::clamp(i - p, 0, n - p));
    }
    if (weights.size() != ctrl.size()) weights.clear();
    for (double& w : weights)
        if (!(w > 0)) w = 1;
    for (std::size_t i = 1; i < knots.size(); ++i)
        if (knots[i] < knots[i - 1]) return false;
    const double t0 = knots[static_cast<std::size_t>(p)], t1 = knots[static_cast<std::size_t>(n)];
    if (!(t1 > t0)) return false;
    std::size_t budget = maxSegments;
    out.push_back(deBoor(p, knots, ctrl, weights, t0));
    // Each knot span in a few steps, halved where the curve strays from a chord.
    std::function<void(double, Vec3, double, Vec3, int)> rec
        = [&](double a, Vec3 pa, double b, Vec3 pb, int depth) {
              const double m = (a + b) / 2;
              const Vec3 pm = deBoor(p, knots, ctrl, weights, m);
              const Vec3 pq = deBoor(p, knots, ctrl, weights, (a + m) / 2);
              if (depth < 18 && budget > 1
                  && (distanceToChord(pm, pa, pb) > tol || distanceToChord(pq, pa, pb) > tol)) {
                  rec(a, pa, m, pm, depth + 1);
                  rec(m, pm, b, pb, depth + 1);
                  return;
              }
              if (budget > 0) --budget;
              out.push_back(pb);
          };
    for (int s = p; s < n; ++s) {
        const double a = knots[static_cast<std::size_t>(s)], b = knots[static_cast<std::size_t>(s + 1)];
        if (!(b > a)) continue;
        constexpr int START = 4;
        for (int k = 0; k < START; ++k) {
            const double u0 = a + (b - a) * k / START, u1 = a + (b - a) * (k + 1) / START;
            rec(u0, deBoor(p, knots, ctrl, weights, u0), u1, deBoor(p, knots, ctrl, weights, u1), 0);
        }
    }
    return true;
}

void appendBulge(std::vector<Vec2>& out, Vec2 a, Vec2 b, double bulge, double tol, std::size_t maxSeg)
{
    if (bulge == 0 || !std::isfinite(bulge) || (a.x == b.x && a.y == b.y)) {
        out.push_back(b);
        return;
    }
    const double theta = 4 * std::atan(bulge);
    const double chord = std::hypot(b.x - a.x, b.y - a.y);
    const double r = chord / (2 * std::sin(std::fabs(theta) / 2));
    const double mx = (a.x + b.x) / 2, my = (a.y + b.y) / 2;
    // The centre lies on the chord's left normal at a signed distance that
    // puts it right of the chord for clockwise arcs and for arcs beyond a
    // half circle.
    const double nx = -(b.y - a.y) / chord, ny = (b.x - a.x) / chord;
    const double d = chord / 2 / std::tan(theta / 2);
    const Vec2 centre { mx + nx * d, my + ny * d };
    const double start = std::atan2(a.y - centre.y, a.x - centre.x);
    appendEllipseArc(out, centre, std::fabs(r), std::fabs(r), 0, start, theta, tol, maxSeg, false);
    out.back() = b;
}

bool flattenFitSpline(const std::vector<Vec3>& input, std::optional<Vec3> startTangent,
    std::optional<Vec3> endTangent, double tolerance, std::size_t maxSegments, std::vector<Vec3>& out)
{
    std::vector<Vec3> p;
    for (Vec3 q : input)
        if (p.empty() || len(q + p.back() * -1) > 0) p.push_back(q);
    const std::size_t n = p.size();
    if (n < 2) return false;
    std::vector<double> h(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i)
        h[i] = len(p[i + 1] + p[i] * -1);
    // First derivatives at the points from the tridiagonal system of a
    // twice-differentiable cubic, solved by elimination.
    // Without a tangent an end leaves along the parabola through its first
    // three points (its last three), at the unit speed of chord-length
    // parameters.
    auto bessel = [&](std::size_t a, std::size_t b, std::size_t c, double hab, double hbc) {
        const Vec3 d = p[a] * (-(2 * hab + hbc) / (hab * (hab + hbc))) + p[b] * ((hab + hbc) / (hab * hbc))
            + p[c] * (-hab / (hbc * (hab + hbc)));
        return unit(d);
    };
    if (!startTangent && n >= 3) startTangent = bessel(0, 1, 2, h[0], h[1]);
    if (!endTangent && n >= 3) endTangent = bessel(n - 1, n - 2, n - 3, h[n - 2], h[n - 3]) * -1;
    std::vector<double> lower(n, 0), diag(n, 1), upper(n, 0);
    std::vector<Vec3> rhs(n);
    if (startTangent && len(*startTangent) > 0) {
        rhs[0] = unit(*startTangent);
    } else {
        diag[0] = 2;
        upper[0] = 1;
        rhs[0] = (p[1] + p[0] * -1) * (3 / h[0]);
    }
    for (std::size_t i = 1; i + 1 < n; ++i) {
        lower[i] = h[i];
        diag[i] = 2 * (h[i - 1] + h[i]);
        upper[i] = h[i - 1];
        rhs[i]
            = (p[i] + p[i - 1] * -1) * (3 * h[i] / h[i - 1]) + (p[i + 1] + p[i] * -1) * (3 * h[i - 1] / h[i]);
    }
    if (endTangent && len(*endTangent) > 0) {
        rhs[n - 1] = unit(*endTangent);
    } else {
        lower[n - 1] = 1;
        diag[n - 1] = 2;
        rhs[n - 1] = (p[n - 1] + p[n - 2] * -1) * (3 / h[n - 2]);
    }
    for (std::size_t i = 1; i < n; ++i) {
        const double m = lower[i] / diag[i - 1];
        diag[i] -= m * upper[i - 1];
        rhs[i] = rhs[i] + rhs[i - 1] * -m;
    }
    std::vector<Vec3> d(n);
    d[n - 1] = rhs[n - 1] * (1 / diag[n - 1]);
    for (std::size_t i = n - 1; i-- > 0;)
        d[i] = (rhs[i] + d[i + 1] * -upper[i]) * (1 / diag[i]);
    out.push_back(p[0]);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const Vec3 b0 = p[i], b1 = p[i] + d[i] * (h[i] / 3), b2 = p[i + 1] + d[i + 1] * (-h[i] / 3),
                   b3 = p[i + 1];
        const double s1 = len(b0 + b1 * -2 + b2), s2 = len(b1 + b2 * -2 + b3);
        const std::size_t steps
            = curveSegments(6 * std::max(s1, s2), tolerance, std::max<std::size_t>(1, maxSegments));
        for (std::size_t k = 1; k <= steps; ++k) {
            const double t = static_cast<double>(k) / static_cast<double>(steps), u = 1 - t;
            out.push_back(k == steps
                    ? b3
                    : b0 * (u * u * u) + b1 * (3 * u * u * t) + b2 * (3 * u * t * t) + b3 * (t * t * t));
        }
    }
    return true;
}

} // namespace qorvan::import
