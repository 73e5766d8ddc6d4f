#include "slide/fill_cutter.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <queue>
#include <set>
#include <unordered_map>
#include <utility>

namespace qorvan::slide {

namespace {

    double cross(PointF o, PointF a, PointF b)
    {
        return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
    }

    struct Edge {
        PointF lo, hi; // lo.y < hi.y
        int dir; // +1 when the ring runs upward along it
        double xAt(double y) const
        {
            if (y <= lo.y) return lo.x;
            if (y >= hi.y) return hi.x;
            return lo.x + (hi.x - lo.x) * (y - lo.y) / (hi.y - lo.y);
        }
    };

    // Cuts the area into trapezoids between horizontal lines through every
    // vertex and every crossing of two edges that bounds the area, so that
    // no piece's sides cross; a trapezoid whose two edges go on unbroken
    // past a vertex or a crossing grows instead of starting anew.
    //
    // Between two vertex heights the edges keep their set, and only their
    // order changes, one swap of neighbours at each crossing: the swaps are
    // taken in height order from a queue, and only those that touch the
    // area's boundary cut pieces. Crossings deep inside the area (a pile of
    // overlapping shapes has mostly these) cost a queue step each, not a
    // pass over every edge.
    class Trapezoider {
    public:
        Trapezoider(const std::vector<Edge>& edges, bool evenOdd, std::size_t& work, std::vector<Piece>& out)
            : edges_(edges)
            , evenOdd_(evenOdd)
            , work_(work)
            , out_(out)
            , pos_(edges.size())
        {
        }

        // False when the work allowed ran out first; out is then incomplete.
        bool run()
        {
            std::vector<double> ys;
            for (const Edge& e : edges_) {
                ys.push_back(e.lo.y);
                ys.push_back(e.hi.y);
            }
            std::sort(ys.begin(), ys.end());
            ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
            std::vector<std::size_t> byStart(edges_.size());
            for (std::size_t i = 0; i < byStart.size(); ++i)
                byStart[i] = i;
            std::sort(byStart.begin(), byStart.end(),
                [&](std::size_t a, std::size_t b) { return edges_[a].lo.y < edges_[b].lo.y; });
            std::vector<std::size_t> active;
            std::size_t next = 0;
            for (std::size_t k = 0; k + 1 < ys.size(); ++k) {
                const double y0 = ys[k], y1 = ys[k + 1];
                active.erase(std::remove_if(active.begin(), active.end(),
                                 [&](std::size_t i) { return edges_[i].hi.y <= y0; }),
                    active.end());
                while (next < byStart.size() && edges_[byStart[next]].lo.y <= y0) {
                    if (edges_[byStart[next]].hi.y > y0) active.push_back(byStart[next]);
                    ++next;
                }
                if (!spend(active.size() + 1) || !band(y0, y1, active)) return false;
            }
            for (const auto& [left, o] : open_)
                emit(left, o.right, o.bottom, ys.empty() ? 0 : ys.back());
            return true;
        }

    private:
        struct Open {
            std::size_t right;
            double bottom;
        };
        struct Crossing {
            double y;
            std::size_t left, right; // in their order below the crossing
            bool operator>(const Crossing& o) const { return y > o.y; }
        };
        // The pieces cost more than a step: each one is a fill on the slide.
        static constexpr std::size_t PIECE_WORK = 64;

        bool spend(std::size_t units)
        {
            if (units > work_) return false;
            work_ -= units;
            return true;
        }

        bool inside(int winding) const { return evenOdd_ ? (winding & 1) != 0 : winding != 0; }
        int step(std::size_t edge) const { return evenOdd_ ? 1 : edges_[edge].dir; }
        bool boundary(std::size_t p) const { return inside(wind_[p]) != inside(wind_[p + 1]); }

        bool band(double y0, double y1, const std::vector<std::size_t>& active)
        {
            y1_ = y1;
            order_ = active;
            std::sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) {
                const double a0 = edges_[a].xAt(y0), b0 = edges_[b].xAt(y0);
                if (a0 != b0) return a0 < b0;
                const double a1 = edges_[a].xAt(y1), b1 = edges_[b].xAt(y1);
                if (a1 != b1) return a1 < b1;
                return a < b;
            });
            wind_.assign(order_.size() + 1, 0);
            bounds_.clear();
            for (std::size_t p = 0; p < order_.size(); ++p) {
                pos_[order_[p]] = p;
                wind_[p + 1] = wind_[p] + step(order_[p]);
                if (boundary(p)) bounds_.insert(bounds_.end(), p);
            }
            // The spans at the foot of the band; those that go on from the
            // band below keep growing.
            std::unordered_map<std::size_t, std::size_t> spans;
            for (auto it = bounds_.begin(); it != bounds_.end(); ++it) {
                const auto after = std::next(it);
                if (inside(wind_[*it + 1]) && after != bounds_.end()) spans[order_[*it]] = order_[*after];
            }
            for (auto it = open_.begin(); it != open_.end();) {
                const auto s = spans.find(it->first);
                if (s != spans.end() && s->second == it->second.right) {
                    spans.erase(s);
                    ++it;
                } else {
                    if (!close(it->first, it->second, y0)) return false;
                    it = open_.erase(it);
                }
            }
            for (const auto& [left, right] : spans)
                open_[left] = { right, y0 };
            queue_ = {};
            for (std::size_t p = 0; p + 1 < order_.size(); ++p)
                consider(p, y0);
            while (!queue_.empty()) {
                const Crossing c = queue_.top();
                queue_.pop();
                if (!spend(1)) return false;
                if (pos_[c.right] != pos_[c.left] + 1) continue; // no longer neighbours
                if (!swap(pos_[c.left], c.y)) return false;
            }
            return true;
        }

        // Queues the crossing of the neighbours at p and p + 1 when the band
        // ends with them the other way round.
        void consider(std::size_t p, double from)
        {
            const std::size_t a = order_[p], b = order_[p + 1];
            const double d1 = edges_[b].xAt(y1_) - edges_[a].xAt(y1_);
            if (!(d1 < 0)) return;
            const double d0 = edges_[b].xAt(from) - edges_[a].xAt(from);
            double y = from;
            if (d0 > 0) y = from + (y1_ - from) * (d0 / (d0 - d1));
            queue_.push({ std::clamp(y, from, y1_), a, b });
        }

        // The spans whose left edge is at one of the positions, each with
        // the edge that ends it.
        void spansAt(const std::size_t* positions, std::size_t count,
            std::vector<std::pair<std::size_t, std::size_t>>& out) const
        {
            out.clear();
            for (std::size_t k = 0; k < count; ++k) {
                const std::size_t p = positions[k];
                if (p == NONE || !bounds_.count(p) || !inside(wind_[p + 1])) continue;
                const auto after = bounds_.upper_bound(p);
                if (after != bounds_.end()) out.emplace_back(order_[p], order_[*after]);
            }
        }

        bool swap(std::size_t i, double y)
        {
            const std::size_t a = order_[i], b = order_[i + 1];
            const int middle = wind_[i] + step(b);
            const bool before = boundary(i) || boundary(i + 1);
            const bool after = inside(wind_[i]) != inside(middle) || inside(middle) != inside(wind_[i + 2]);
            std::size_t positions[3] = { NONE, i, i + 1 };
            if (before || after) {
                const auto below = bounds_.lower_bound(i);
                if (below != bounds_.begin()) positions[0] = *std::prev(below);
                spansAt(positions, 3, old_);
            }
            order_[i] = b;
            order_[i + 1] = a;
            pos_[b] = i;
            pos_[a] = i + 1;
            wind_[i + 1] = middle;
            if (before || after) {
                for (std::size_t p : { i, i + 1 }) {
                    if (boundary(p))
                        bounds_.insert(p);
                    else
                        bounds_.erase(p);
                }
                spansAt(positions, 3, new_);
                for (const auto& s : old_) {
                    if (std::find(new_.begin(), new_.end(), s) != new_.end()) continue;
                    const auto it = open_.find(s.first);
                    if (it == open_.end()) continue;
                    if (!close(it->first, it->second, y)) return false;
                    open_.erase(it);
                }
                for (const auto& s : new_)
                    if (std::find(old_.begin(), old_.end(), s) == old_.end())
                        open_[s.first] = { s.second, y };
            }
            if (i > 0) consider(i - 1, y);
            if (i + 2 < order_.size()) consider(i + 1, y);
            return true;
        }

        bool close(std::size_t left, const Open& o, double top)
        {
            if (!(top > o.bottom)) return true;
            if (!spend(PIECE_WORK)) return false;
            emit(left, o.right, o.bottom, top);
            return true;
        }

        void emit(std::size_t left, std::size_t right, double bottom, double top)
        {
            if (!(top > bottom)) return;
            const Edge &l = edges_[left], &r = edges_[right];
            out_.push_back({ PointF { l.xAt(bottom), bottom }, PointF { r.xAt(bottom), bottom },
                PointF { r.xAt(top), top }, PointF { l.xAt(top), top } });
        }

        static constexpr std::size_t NONE = static_cast<std::size_t>(-1);
        const std::vector<Edge>& edges_;
        bool evenOdd_;
        std::size_t& work_;
        std::vector<Piece>& out_;
        double y1_ = 0;
        std::vector<std::size_t> order_; // the band's edges, left to right
        std::vector<std::size_t> pos_; // each edge's place in order_
        std::vector<int> wind_; // the winding just left of each place
        std::set<std::size_t> bounds_; // the places of edges where inside turns to outside or back
        std::unordered_map<std::size_t, Open> open_; // trapezoids growing, by their left edge
        std::priority_queue<Crossing, std::vector<Crossing>, std::greater<>> queue_;
        std::vector<std::pair<std::size_t, std::size_t>> old_, new_;
    };

} // namespace

// A simple convex ring: every turn one way and the walk goes round once.
bool isConvexRing(const std::vector<PointF>& given)
{
    // A corner given twice (a SOLID's triangle repeats its third) turns
    // nowhere; left in, its edge of no length has no direction to turn by.
    std::vector<PointF> ring;
    for (PointF p : given)
        if (ring.empty() || p.x != ring.back().x || p.y != ring.back().y) ring.push_back(p);
    while (ring.size() > 1 && ring.front().x == ring.back().x && ring.front().y == ring.back().y)
        ring.pop_back();
    const std::size_t n = ring.size();
    if (n < 3) return false;
    int sign = 0;
    double turning = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const PointF a = ring[i], b = ring[(i + 1) % n], c = ring[(i + 2) % n];
        const double z = cross(a, b, c);
        if (z != 0) {
            const int s = z > 0 ? 1 : -1;
            if (sign != 0 && s != sign) return false;
            sign = s;
        }
        const double a1 = std::atan2(b.y - a.y, b.x - a.x), a2 = std::atan2(c.y - b.y, c.x - b.x);
        double d = a2 - a1;
        while (d > std::numbers::pi)
            d -= 2 * std::numbers::pi;
        while (d < -std::numbers::pi)
            d += 2 * std::numbers::pi;
        turning += d;
    }
    return sign != 0 && std::fabs(std::fabs(turning) - 2 * std::numbers::pi) < 1e-6;
}

bool cutIntoTrapezoids(const std::vector<const std::vector<PointF>*>& rings, bool evenOdd, std::size_t& work,
    std::vector<Piece>& out)
{
    std::vector<Edge> edges;
    for (const auto* r : rings) {
        for (std::size_t i = 0; i < r->size(); ++i) {
            PointF a = (*r)[i], b = (*r)[(i + 1) % r->size()];
            if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y))
                continue;
            if (a.y == b.y) continue;
            const int dir = a.y < b.y ? 1 : -1;
            if (dir < 0) std::swap(a, b);
            edges.push_back({ a, b, dir });
        }
    }
    return Trapezoider(edges, evenOdd, work, out).run();
}

} // namespace qorvan::slide
