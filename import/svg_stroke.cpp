#include "import/svg_stroke.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qorvan::import::svg {
namespace {

    double signedArea(const std::vector<Vec2>& p)
    {
        double a = 0;
        for (std::size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
            a += p[j].x * p[i].y - p[i].x * p[j].y;
        return a / 2;
    }

    void addRing(std::vector<Ring>& out, std::vector<Vec2> points)
    {
        if (points.size() < 3) return;
        if (signedArea(points) < 0) std::reverse(points.begin(), points.end());
        out.push_back(Ring { std::move(points), true });
    }

    void addDisc(std::vector<Ring>& out, Vec2 c, double r, double tolerance, std::size_t maxSegments)
    {
        std::vector<Vec2> pts;
        appendEllipseArc(pts, c, r, r, 0, 0, 2 * std::numbers::pi, tolerance, maxSegments, true);
        if (pts.size() > 1) pts.pop_back(); // the end repeats the start
        if (pts.size() < 8) {
            // A disc of few chords looks like a diamond; eight keep it round
            // at the sizes where the tolerance allows fewer.
            pts.clear();
            for (int i = 0; i < 8; ++i)
                pts.push_back({ c.x + r * std::cos(i * std::numbers::pi / 4),
                    c.y + r * std::sin(i * std::numbers::pi / 4) });
        }
        addRing(out, std::move(pts));
    }

} // namespace

void outlineStroke(const Ring& line, const StrokeStyle& style, double tolerance, std::size_t maxSegments,
    std::vector<Ring>& out)
{
    const double h = style.width / 2;
    if (!(h > 0) || line.points.empty()) return;
    // Consecutive duplicates have no direction; drop them.
    std::vector<Vec2> p;
    for (Vec2 v : line.points)
        if (p.empty() || v.x != p.back().x || v.y != p.back().y) p.push_back(v);
    const bool closed = line.closed && p.size() > 2;
    if (closed && p.front().x == p.back().x && p.front().y == p.back().y) p.pop_back();
    if (p.size() == 1) {
        // A zero-length subpath paints only its caps.
        if (style.cap == LineCap::Round)
            addDisc(out, p[0], h, tolerance, maxSegments);
        else if (style.cap == LineCap::Square)
            addRing(out,
                { { p[0].x - h, p[0].y - h }, { p[0].x + h, p[0].y - h }, { p[0].x + h, p[0].y + h },
                    { p[0].x - h, p[0].y + h } });
        return;
    }
    const std::size_t n = p.size();
    const std::size_t segments = closed ? n : n - 1;
    auto normal = [&](std::size_t i) {
        const Vec2 a = p[i], b = p[(i + 1) % n];
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        return Vec2 { -(b.y - a.y) / len * h, (b.x - a.x) / len * h };
    };
    for (std::size_t i = 0; i < segments; ++i) {
        const Vec2 a = p[i], b = p[(i + 1) % n], d = normal(i);
        addRing(out,
            { { a.x + d.x, a.y + d.y }, { b.x + d.x, b.y + d.y }, { b.x - d.x, b.y - d.y },
                { a.x - d.x, a.y - d.y } });
    }
    // Joins at every vertex where two segments meet.
    const std::size_t firstJoin = closed ? 0 : 1;
    const std::size_t lastJoin = closed ? n : n - 1;
    for (std::size_t v = firstJoin; v < lastJoin; ++v) {
        const std::size_t prev = (v + n - 1) % n;
        const Vec2 c = p[v];
        const Vec2 n1 = normal(prev), n2 = normal(v);
        const double cross = n1.x * n2.y - n1.y * n2.x;
        if (std::fabs(cross) < 1e-12 * h * h && n1.x * n2.x + n1.y * n2.y > 0) continue; // straight on
        if (style.join == LineJoin::Round) {
            addDisc(out, c, h, tolerance, maxSegments);
            continue;
        }
        // The outer side is the one the path turns away from.
        const double sgn = cross > 0 ? -1 : 1;
        const Vec2 o1 { c.x + sgn * n1.x, c.y + sgn * n1.y }, o2 { c.x + sgn * n2.x, c.y + sgn * n2.y };
        if (style.join == LineJoin::Miter) {
            // Miter length over stroke width is 1 / sin(theta / 2), theta
            // the angle between the segments.
            const double cosTheta = -(n1.x * n2.x + n1.y * n2.y) / (h * h);
            const double sinHalf = std::sqrt(std::max(0.0, (1 - cosTheta) / 2));
            if (sinHalf > 0 && 1 / sinHalf <= style.miterLimit) {
                const Vec2 mid { (n1.x + n2.x) / 2, (n1.y + n2.y) / 2 };
                const double midLen = std::hypot(mid.x, mid.y);
                const double reach = h / sinHalf;
                const Vec2 tip { c.x + sgn * mid.x / midLen * reach, c.y + sgn * mid.y / midLen * reach };
                addRing(out, { c, o1, tip, o2 });
                continue;
            }
        }
        addRing(out, { c, o1, o2 });
    }
    if (closed) return;
    for (int end = 0; end < 2; ++end) {
        const Vec2 c = end == 0 ? p[0] : p[n - 1];
        const Vec2 other = end == 0 ? p[1] : p[n - 2];
        if (style.cap == LineCap::Round) {
            addDisc(out, c, h, tolerance, maxSegments);
        } else if (style.cap == LineCap::Square) {
            const double len = std::hypot(c.x - other.x, c.y - other.y);
            const Vec2 t { (c.x - other.x) / len * h, (c.y - other.y) / len * h };
            const Vec2 nn { -t.y, t.x };
            addRing(out,
                { { c.x + nn.x, c.y + nn.y }, { c.x + nn.x + t.x, c.y + nn.y + t.y },
                    { c.x - nn.x + t.x, c.y - nn.y + t.y }, { c.x - nn.x, c.y - nn.y } });
        }
    }
}

bool applyDashes(const Ring& line, const std::vector<double>& dashesIn, double offset, std::size_t maxPieces,
    std::vector<Ring>& out)
{
    std::vector<double> dashes = dashesIn;
    double total = 0;
    for (double d : dashes) {
        if (!(d >= 0) || !std::isfinite(d)) {
            total = 0;
            break;
        }
        total += d;
    }
    if (dashes.empty() || !(total > 0)) {
        out.push_back(line);
        return true;
    }
    if (dashes.size() % 2) {
        dashes.insert(dashes.end(), dashesIn.begin(), dashesIn.end());
        total *= 2;
    }
    std::vector<Vec2> pts = line.points;
    if (line.closed && !pts.empty()) pts.push_back(pts.front());
    // Counted before any piece is made: a fine pattern along a long line
    // would otherwise cost its memory and time before the bound is met.
    double length = 0;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i)
        length += std::hypot(pts[i + 1].x - pts[i].x, pts[i + 1].y - pts[i].y);
    const double most = (std::floor(length / total) + 2) * static_cast<double>(dashes.size() / 2);
    if (!(most <= static_cast<double>(maxPieces))) return false;
    // Where in the pattern the line starts.
    double phase = std::fmod(offset, total);
    if (phase < 0) phase += total;
    std::size_t index = 0;
    while (phase >= dashes[index]) {
        phase -= dashes[index];
        index = (index + 1) % dashes.size();
    }
    double left = dashes[index] - phase; // of the current dash or gap
    bool on = index % 2 == 0;
    std::size_t pieces = 0;
    Ring current;
    if (on && !pts.empty()) current.points.push_back(pts[0]);
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        Vec2 a = pts[i];
        const Vec2 b = pts[i + 1];
        double segLeft = std::hypot(b.x - a.x, b.y - a.y);
        while (segLeft > left) {
            const double t = left / segLeft;
            a = { a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t };
            segLeft -= left;
            if (on) {
                current.points.push_back(a);
                out.push_back(std::move(current));
                current = Ring {};
                if (++pieces > maxPieces) return false;
            } else {
                current.points.push_back(a);
            }
            on = !on;
            index = (index + 1) % dashes.size();
            left = dashes[index];
        }
        left -= segLeft;
        if (on) current.points.push_back(b);
    }
    if (on && current.points.size() > 1) out.push_back(std::move(current));
    return true;
}

} // namespace qorvan::import::svg
