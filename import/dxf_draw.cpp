#include "import/dxf_draw.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "import/dxf_groups.h"
#include "import/dxf_text.h"
#include "import/stroke_font.h"
#include "import/svg_stroke.h"
#include "slide/palette_match.h"

namespace qorvan::import::dxf {

namespace {

    class DxfSource : public Source {
    public:
        DxfSource(Model&& m, const Options& options, std::string name)
            : header_(m.header)
            , linetypes_(std::move(m.linetypes))
            , layers_(std::move(m.layers))
            , blocks_(std::move(m.blocks))
            , entities_(std::move(m.entities))
            , warnings_(std::move(m.warnings))
            , limits_(m.limits)
            , options_(options)
            , name_(std::move(name))
        {
        }

        Extents extents() const override { return extentsAreFrame() ? limits_ : extents_; }
        bool extentsAreFrame() const override { return options_.frameLimits && !limits_.empty; }
        const std::vector<std::string>& warnings() const override { return warnings_; }

        bool prepare(std::string& error)
        {
            // The font is read once per process, whatever the number of drawings.
            static const auto loaded = [] {
                std::pair<std::shared_ptr<const StrokeFont>, std::string> f;
                f.first = StrokeFont::load("futural", f.second);
                return f;
            }();
            font_ = loaded.first;
            fontError_ = loaded.second;
            // The cheap extents: every curve drawn in a few chords.
            Drawing coarse;
            Grid g;
            g.unitsPerPixel = 1;
            g.tolerance = std::numeric_limits<double>::infinity();
            if (!draw(g, coarse, error)) return false;
            extents_ = coarse.extents();
            if (options_.frameLimits && limits_.empty)
                warnings_.push_back(name_
                    + ": the drawing has no limits ($LIMMIN, $LIMMAX) to frame: the slide frames what it "
                      "draws");
            // Construction lines reach as far as the rest of the drawing.
            finiteExtents_ = extents_;
            if (hasXlines_) {
                coarse.shapes.clear();
                if (!draw(g, coarse, error)) return false;
                extents_ = coarse.extents();
            }
            return true;
        }

        bool draw(const Grid& grid, Drawing& out, std::string& error) const override
        {
            State st { grid, out, error };
            Context top;
            top.xf = Xf {};
            top.layer = -1;
            top.byBlock = 7;
            for (const Entity& e : entities_)
                if (!drawEntity(e, top, st, 0)) return false;
            if (st.textSkipped) out.warnings.push_back(name_ + ": text left out: " + fontError_);
            if (st.patterns)
                out.warnings.push_back(
                    name_ + ": hatch patterns without their lines are drawn as their boundaries");
            return true;
        }

    private:
        struct Context {
            Xf xf;
            std::string linetype; // the insert's, which BYBLOCK entities take
            int layer = -1; // the insert's layer, which entities on layer 0 take
            int byBlock = 7;
            bool hidden0 = false; // entities on layer 0 inside an insert on an off layer
        };
        struct State {
            const Grid& grid;
            Drawing& out;
            std::string& error;
            std::size_t visits = 0, points = 0;
            bool textSkipped = false;
            bool patterns = false;
        };

        bool layerShown(int idx) const
        {
            const Layer& l = layers_[static_cast<std::size_t>(idx)];
            if (l.frozen) return false;
            const std::string u = upper(l.name);
            if (!options_.layers.empty()
                && std::none_of(options_.layers.begin(), options_.layers.end(),
                    [&](const std::string& s) { return upper(s) == u; }))
                return false;
            return std::none_of(options_.excludeLayers.begin(), options_.excludeLayers.end(),
                [&](const std::string& s) { return upper(s) == u; });
        }

        int resolveColour(const Entity& e, int layer, const Context& ctx) const
        {
            if (e.trueColour >= 0)
                return slide::nearestPaletteIndex(static_cast<std::uint8_t>(e.trueColour >> 16),
                    static_cast<std::uint8_t>(e.trueColour >> 8), static_cast<std::uint8_t>(e.trueColour));
            int c = e.colour;
            if (c == 0) return ctx.byBlock;
            if (c < 0) c = -c;
            if (c >= 1 && c <= 255) return c;
            const Layer& l = layers_[static_cast<std::size_t>(layer)];
            if (l.trueColour >= 0)
                return slide::nearestPaletteIndex(static_cast<std::uint8_t>(l.trueColour >> 16),
                    static_cast<std::uint8_t>(l.trueColour >> 8), static_cast<std::uint8_t>(l.trueColour));
            return l.colour;
        }

        // Lines cut into the dashes of `dashes` (on, off, ... in drawing units
        // after every transform); null or empty: continuous.
        bool emit(State& st, Shape&& s, const std::vector<double>* dashes = nullptr) const
        {
            if (dashes && !dashes->empty() && !s.filled) {
                std::vector<Ring> pieces;
                for (const Ring& r : s.rings)
                    svg::applyDashes(r, *dashes, 0, options_.limits.maxPoints, pieces);
                s.rings = std::move(pieces);
            }
            std::size_t n = 0;
            for (const Ring& r : s.rings)
                n += r.points.size();
            st.points += n;
            if (st.out.shapes.size() >= options_.limits.maxEntities) {
                st.error = "the drawing makes more than " + std::to_string(options_.limits.maxEntities)
                    + " shapes";
                return false;
            }
            if (st.points > options_.limits.maxPoints) {
                st.error
                    = "the drawing makes more than " + std::to_string(options_.limits.maxPoints) + " points";
                return false;
            }
            if (n) st.out.shapes.push_back(std::move(s));
            return true;
        }

        static Vec2 flat(Vec3 p) { return { p.x, p.y }; }

        // A shape of rings given in the entity's own plane (OCS or not), mapped
        // through the insert transforms to plan view.
        Ring mapRing(const std::vector<Vec2>& pts, double z, const Xf& xf, bool closed) const
        {
            Ring r;
            r.closed = closed;
            r.points.reserve(pts.size());
            for (Vec2 p : pts)
                r.points.push_back(flat(xf.apply({ p.x, p.y, z })));
            return r;
        }

        bool drawEntity(const Entity& e, const Context& ctx, State& st, int depth) const
        {
            if (++st.visits > options_.limits.maxEntities * 4) {
                st.error = "the drawing's block references make more than "
                    + std::to_string(options_.limits.maxEntities * 4) + " entities";
                return false;
            }
            int layer = e.layer;
            bool hidden = false;
            if (ctx.layer >= 0 && layer == 0) {
                layer = ctx.layer;
                hidden = ctx.hidden0;
            }
            if (!layerShown(layer)) return true;
            const bool off = layers_[static_cast<std::size_t>(layer)].off || hidden;
            const int colour = resolveColour(e, layer, ctx);
            const Xf xf = e.ocs ? ctx.xf.then(Xf::ocs(e.extrusion)) : ctx.xf;
            const double sc = xf.scale();
            const double tol = sc > 0 ? st.grid.tolerance / sc : st.grid.tolerance;
            const std::size_t maxSeg = options_.limits.maxSegmentsPerCurve;
            if (e.definition && ctx.layer >= 0) return true;
            std::string linetype = e.linetype.empty() ? "BYLAYER" : e.linetype;
            if (linetype == "BYLAYER") linetype = layers_[static_cast<std::size_t>(layer)].linetype;
            if (linetype == "BYBLOCK") linetype = ctx.linetype;
            const std::vector<double> dashes = dashesOf(linetype, e.linetypeScale * planScale(xf), st.grid);
            auto stroke = [&](std::vector<Vec2> pts, double z, bool closed) {
                Shape s;
                s.colour = static_cast<std::uint8_t>(colour);
                s.rings.push_back(mapRing(pts, z, xf, closed));
                return emit(st, std::move(s), &dashes);
            };
            if (e.kind == Kind::Insert || e.kind == Kind::Dimension) {
                auto it = blocks_.find(e.block);
                if (it == blocks_.end()) return true;
                if (depth >= options_.limits.maxDepth) {
                    st.error = "blocks nested more than " + std::to_string(options_.limits.maxDepth)
                        + " deep (block " + e.block + ")";
                    return false;
                }
                Context inner;
                inner.linetype = linetype;
                inner.layer = layer;
                inner.hidden0 = off;
                inner.byBlock = colour;
                const Block& b = it->second;
                for (int row = 0; row < e.rows; ++row)
                    for (int col = 0; col < e.cols; ++col) {
                        if (e.kind == Kind::Insert) {
                            const Xf local
                                = Xf::translate(e.pts[0])
                                      .then(Xf::rotateZ(e.rotation))
                                      .then(Xf::translate({ col * e.colSpacing, row * e.rowSpacing, 0 }))
                                      .then(Xf::scaling(e.sx, e.sy, e.sz))
                                      .then(Xf::translate(b.base * -1));
                            inner.xf = xf.then(local);
                        } else {
                            inner.xf = ctx.xf;
                        }
                        for (const Entity& c : b.entities)
                            if (!drawEntity(c, inner, st, depth + 1)) return false;
                    }
                if (!off)
                    for (const Entity& a : e.children) {
                        Context ac = ctx;
                        if (!drawEntity(a, ac, st, depth)) return false;
                    }
                return true;
            }
            if (off) return true;
            switch (e.kind) {
            case Kind::Line:
            case Kind::Point: {
                Shape s;
                s.colour = static_cast<std::uint8_t>(colour);
                s.rings.push_back({ { flat(xf.apply(e.pts[0])) }, false });
                if (e.kind == Kind::Line) s.rings.back().points.push_back(flat(xf.apply(e.pts[1])));
                return emit(st, std::move(s), &dashes);
            }
            case Kind::Circle:
            case Kind::Arc: {
                std::vector<Vec2> pts;
                double sweep = 2 * PI, start = 0;
                if (e.kind == Kind::Arc) {
                    start = e.a0;
                    sweep = e.a1 - e.a0;
                    while (sweep <= 0)
                        sweep += 2 * PI;
                }
                appendEllipseArc(pts, flat(e.pts[0]), e.r, e.r, 0, start, sweep, tol, maxSeg, true);
                return stroke(pts, e.pts[0].z, e.kind == Kind::Circle);
            }
            case Kind::Ellipse: {
                const Vec3 major = e.pts[1];
                const double a = len(major);
                const Vec3 minorDir = unit(crossV(unit(e.extrusion), major));
                std::vector<Vec2> pts;
                double sweep = e.a1 - e.a0;
                while (sweep <= 0)
                    sweep += 2 * PI;
                const std::size_t n = arcSegments(a, sweep, tol, maxSeg);
                for (std::size_t i = 0; i <= n; ++i) {
                    const double t = e.a0 + sweep * static_cast<double>(i) / static_cast<double>(n);
                    const Vec3 p = e.pts[0] + major * std::cos(t) + minorDir * (a * e.ratio * std::sin(t));
                    pts.push_back(flat(xf.apply(p)));
                }
                Shape s;
                s.colour = static_cast<std::uint8_t>(colour);
                s.rings.push_back({ pts, std::fabs(sweep - 2 * PI) < 1e-9 });
                return emit(st, std::move(s), &dashes);
            }
            case Kind::Polyline: {
                if (e.pts.empty()) return true;
                if (!e.ocs) {
                    std::vector<Vec2> pts;
                    for (Vec3 p : e.pts)
                        pts.push_back(flat(xf.apply(p)));
                    Shape s;
                    s.colour = static_cast<std::uint8_t>(colour);
                    s.rings.push_back({ pts, e.closed });
                    return emit(st, std::move(s), &dashes);
                }
                if (!e.widths.empty() && widePixels(e, xf, st.grid)) return drawWide(e, xf, colour, tol, st);
                std::vector<Vec2> pts { flat(e.pts[0]) };
                const std::size_t n = e.pts.size();
                for (std::size_t i = 0; i + 1 < n || (e.closed && i < n && n > 1); ++i)
                    appendBulge(pts, flat(e.pts[i]), flat(e.pts[(i + 1) % n]), e.bulges[i], tol, maxSeg);
                if (e.closed && pts.size() > 1) pts.pop_back();
                return stroke(pts, e.pts[0].z, e.closed);
            }
            case Kind::Spline: {
                std::vector<Vec3> out;
                if (!flattenBSpline(e.degree, e.knots, e.pts, e.weights, tol, maxSeg, out)) {
                    out.clear();
                    if (e.fit.size() < 2
                        || !flattenFitSpline(e.fit, e.startTangent, e.endTangent, tol, maxSeg, out))
                        out = e.fit.empty() ? e.pts : e.fit;
                }
                std::vector<Vec2> pts;
                for (Vec3 p : out)
                    pts.push_back(flat(xf.apply(p)));
                Shape s;
                s.colour = static_cast<std::uint8_t>(colour);
                s.rings.push_back({ pts, e.closed && e.knots.empty() });
                return emit(st, std::move(s), &dashes);
            }
            case Kind::Solid: {
                // Corners 1, 2, 4, 3 in order make the outline.
                std::vector<Vec2> pts { flat(e.pts[0]), flat(e.pts[1]), flat(e.pts[3]), flat(e.pts[2]) };
                Shape s;
                s.colour = static_cast<std::uint8_t>(colour);
                s.filled = true;
                s.rings.push_back(mapRing(pts, e.pts[0].z, xf, true));
                return emit(st, std::move(s));
            }
            case Kind::Face: {
                // Plan view of a face: its visible edges.
                for (int k = 0; k < 4; ++k) {
                    if (e.flags & (1 << k)) continue;
                    const Vec3 a = e.pts[static_cast<std::size_t>(k)],
                               b = e.pts[static_cast<std::size_t>((k + 1) % 4)];
                    if (a.x == b.x && a.y == b.y && a.z == b.z) continue;
                    Shape s;
                    s.colour = static_cast<std::uint8_t>(colour);
                    s.rings.push_back({ { flat(xf.apply(a)), flat(xf.apply(b)) }, false });
                    if (!emit(st, std::move(s), &dashes)) return false;
                }
                return true;
            }
            case Kind::Hatch:
                return drawHatch(e, xf, colour, tol, st);
            case Kind::Text:
            case Kind::MText:
                return drawText(e, xf, colour, st);
            case Kind::Group:
                for (const Entity& c : e.children)
                    if (!drawEntity(c, ctx, st, depth)) return false;
                return true;
            case Kind::Leader:
                return drawLeader(e, xf, colour, tol, st, dashes);
            case Kind::Xline:
                return drawXline(e, xf, colour, st, dashes);
            case Kind::Area: {
                // A wipeout masks what lies behind it with the screen's colour.
                std::vector<Vec2> pts;
                for (Vec3 p : e.pts)
                    pts.push_back(flat(xf.apply(p)));
                Shape s;
                s.colour = 0;
                s.filled = true;
                s.rings.push_back({ pts, true });
                return emit(st, std::move(s));
            }
            default:
                return true;
            }
        }

        // How much the transform stretches lengths in plan view (the square
        // root of its area scale): what turns dash lengths in a block into
        // lengths on the drawing.
        static double planScale(const Xf& xf)
        {
            const double a = std::fabs(xf.cx.x * xf.cy.y - xf.cx.y * xf.cy.x);
            return a > 0 ? std::sqrt(a) : 1;
        }

        // A linetype's dashes as on/off lengths on the drawing, or none when it
        // is continuous, unknown, or too fine to show at the grid (a pattern
        // shorter than two pixels looks continuous and would only multiply
        // the lines).
        std::vector<double> dashesOf(const std::string& name, double scale, const Grid& grid) const
        {
            std::vector<double> out;
            if (name.empty() || name == "CONTINUOUS" || !std::isfinite(grid.tolerance)) return out;
            const auto it = linetypes_.find(name);
            if (it == linetypes_.end()) return out;
            const double k = header_.ltscale * scale;
            double total = 0;
            for (double d : it->second.dashes) {
                // A dot is as long as a pixel, as CAD shows it.
                const double length = d == 0 ? grid.unitsPerPixel : std::fabs(d) * k;
                const bool on = d >= 0;
                if (out.empty() && !on) out.push_back(0);
                if ((out.size() % 2 == 0) == on)
                    out.push_back(length);
                else
                    out.back() += length;
                total += length;
            }
            if (!(total >= 2 * grid.unitsPerPixel) || !std::isfinite(total) || out.size() < 2) out.clear();
            return out;
        }

        // Widths show as areas once wider than a pixel; thinner, a line says
        // the same with less.
        bool widePixels(const Entity& e, const Xf& xf, const Grid& grid) const
        {
            if (!std::isfinite(grid.tolerance)) return false;
            double widest = 0;
            for (const auto& [s, t] : e.widths)
                widest = std::max({ widest, s, t });
            return widest * planScale(xf) > grid.unitsPerPixel;
        }

        // A polyline with widths as the area it covers: each segment (arcs
        // flattened) a band whose width runs from the segment's start width to
        // its end width, and a wedge at each vertex where two bands meet so
        // corners are not notched. All pieces are filled together under the
        // non-zero rule, so overlaps add nothing.
        bool drawWide(const Entity& e, const Xf& xf, int colour, double tol, State& st) const
        {
            const std::size_t maxSeg = options_.limits.maxSegmentsPerCurve;
            const std::size_t n = e.pts.size();
            const std::size_t segments = e.closed ? n : n - 1;
            Shape s;
            s.colour = static_cast<std::uint8_t>(colour);
            s.filled = true;
            s.fillRule = FillRule::NonZero;
            const double z = e.pts[0].z;
            // The previous band's end edge (left, right) and direction, and the
            // first band's start, for the joins.
            std::vector<Vec2> lastEnd, firstStart;
            Vec2 lastDir, firstDir;
            for (std::size_t i = 0; i < segments && n > 1; ++i) {
                const Vec2 a = flat(e.pts[i]), b = flat(e.pts[(i + 1) % n]);
                std::vector<Vec2> path { a };
                appendBulge(path, a, b, e.bulges[i], tol, maxSeg);
                if (path.size() < 2) continue;
                double total = 0;
                for (std::size_t k = 1; k < path.size(); ++k)
                    total += std::hypot(path[k].x - path[k - 1].x, path[k].y - path[k - 1].y);
                const auto [w0, w1] = e.widths[i];
                std::vector<Vec2> left, right;
                double along = 0;
                for (std::size_t k = 0; k < path.size(); ++k) {
                    if (k > 0) along += std::hypot(path[k].x - path[k - 1].x, path[k].y - path[k - 1].y);
                    // The direction at a point: its chord's, the mean of two inside.
                    const Vec2 p = path[k];
                    const Vec2 q0 = path[k > 0 ? k - 1 : 0], q1 = path[k + 1 < path.size() ? k + 1 : k];
                    double dx = q1.x - q0.x, dy = q1.y - q0.y;
                    const double l = std::hypot(dx, dy);
                    if (l > 0) {
                        dx /= l;
                        dy /= l;
                    }
                    const double half = (total > 0 ? w0 + (w1 - w0) * along / total : w0) / 2;
                    left.push_back({ p.x - dy * half, p.y + dx * half });
                    right.push_back({ p.x + dy * half, p.y - dx * half });
                }
                std::vector<Vec2> band = left;
                band.insert(band.end(), right.rbegin(), right.rend());
                s.rings.push_back(mapRing(band, z, xf, true));
                const Vec2 startDir = direction(path[0], path[1]);
                if (!lastEnd.empty())
                    join(s, lastEnd, lastDir, { left.front(), right.front() }, startDir, a, z, xf);
                else {
                    firstStart = { left.front(), right.front() };
                    firstDir = startDir;
                }
                lastEnd = { left.back(), right.back() };
                lastDir = direction(path[path.size() - 2], path.back());
            }
            if (e.closed && !lastEnd.empty() && !firstStart.empty())
                s.rings.push_back(mapRing(
                    { lastEnd[0], firstStart[0], flat(e.pts[0]), firstStart[1], lastEnd[1] }, z, xf, true));
            return emit(st, std::move(s));
        }

        static Vec2 direction(Vec2 a, Vec2 b)
        {
            const double l = std::hypot(b.x - a.x, b.y - a.y);
            return l > 0 ? Vec2 { (b.x - a.x) / l, (b.y - a.y) / l } : Vec2 { 1, 0 };
        }

        // Where two bands meet at `vertex`: on each side, the corner where
        // the two edges' lines cross (a mitre, as CAD joins wide segments),
        // or a bevel where they run nearly parallel or the mitre would reach
        // far out.
        void join(Shape& s, const std::vector<Vec2>& end, Vec2 d1, const std::vector<Vec2>& start, Vec2 d2,
            Vec2 vertex, double z, const Xf& xf) const
        {
            for (int side = 0; side < 2; ++side) {
                const Vec2 p = end[static_cast<std::size_t>(side)], q = start[static_cast<std::size_t>(side)];
                std::vector<Vec2> ring { vertex, p };
                const double cross = d1.x * d2.y - d1.y * d2.x;
                if (std::fabs(cross) > 1e-9) {
                    const double t = ((q.x - p.x) * d2.y - (q.y - p.y) * d2.x) / cross;
                    const Vec2 m { p.x + d1.x * t, p.y + d1.y * t };
                    const double reach = std::hypot(m.x - vertex.x, m.y - vertex.y);
                    const double half = std::hypot(p.x - vertex.x, p.y - vertex.y);
                    if (reach <= 4 * half) ring.push_back(m);
                }
                ring.push_back(q);
                s.rings.push_back(mapRing(ring, z, xf, true));
            }
        }

        // A leader's path, with a closed arrowhead at its first vertex as long
        // as the drawing's arrow size.
        bool drawLeader(const Entity& e, const Xf& xf, int colour, double tol, State& st,
            const std::vector<double>& dashes) const
        {
            std::vector<Vec3> path;
            if (!e.hasAlign
                || !flattenFitSpline(e.pts, {}, {}, tol, options_.limits.maxSegmentsPerCurve, path))
                path = e.pts;
            Shape line;
            line.colour = static_cast<std::uint8_t>(colour);
            Ring r;
            for (Vec3 p : path)
                r.points.push_back(flat(xf.apply(p)));
            line.rings.push_back(std::move(r));
            if (!emit(st, std::move(line), &dashes)) return false;
            if (!(e.flags & 1) || !(header_.arrowSize > 0)) return true;
            const Vec3 tip = e.pts[0], next = path.size() > 1 ? path[1] : e.pts[1];
            const double dx = next.x - tip.x, dy = next.y - tip.y, l = std::hypot(dx, dy);
            if (!(l > 0)) return true;
            const double size = header_.arrowSize, ux = dx / l, uy = dy / l;
            const Vec3 base { tip.x + ux * size, tip.y + uy * size, tip.z };
            Shape arrow;
            arrow.colour = static_cast<std::uint8_t>(colour);
            arrow.filled = true;
            arrow.rings.push_back(
                { { flat(xf.apply(tip)),
                      flat(xf.apply({ base.x - uy * size / 6, base.y + ux * size / 6, base.z })),
                      flat(xf.apply({ base.x + uy * size / 6, base.y - ux * size / 6, base.z })) },
                    true });
            return emit(st, std::move(arrow));
        }

        // XLINE and RAY run without end: drawn across the box of everything
        // else the drawing holds (a ray from its point on), as far as a CAD
        // program zoomed to the drawing's extents shows them.
        bool drawXline(
            const Entity& e, const Xf& xf, int colour, State& st, const std::vector<double>& dashes) const
        {
            hasXlines_ = true;
            if (finiteExtents_.empty) return true;
            const Vec2 p = flat(xf.apply(e.pts[0]));
            const Vec3 d3 = xf.applyDir(e.pts[1]);
            const Vec2 d { d3.x, d3.y };
            if (!(std::hypot(d.x, d.y) > 0)) return true;
            // The box grows by its own size where it has none, so a lone line shows.
            Extents box = finiteExtents_;
            const double pad = std::max({ box.width(), box.height(), 1.0 }) * 1e-9;
            double lo = e.ray ? 0 : -std::numeric_limits<double>::infinity();
            double hi = std::numeric_limits<double>::infinity();
            auto clip = [&](double origin, double dir, double min, double max) {
                if (dir == 0) return origin >= min - pad && origin <= max + pad;
                double t0 = (min - pad - origin) / dir, t1 = (max + pad - origin) / dir;
                if (t0 > t1) std::swap(t0, t1);
                lo = std::max(lo, t0);
                hi = std::min(hi, t1);
                return lo <= hi;
            };
            if (!clip(p.x, d.x, box.minX, box.maxX) || !clip(p.y, d.y, box.minY, box.maxY)) return true;
            Shape s;
            s.colour = static_cast<std::uint8_t>(colour);
            s.rings.push_back(
                { { { p.x + d.x * lo, p.y + d.y * lo }, { p.x + d.x * hi, p.y + d.y * hi } }, false });
            return emit(st, std::move(s), &dashes);
        }

        // A pattern hatch's lines inside its boundary: each family of
        // parallel lines cut by the boundary's rings under the even-odd rule
        // (holes stay empty), then into its dashes. Families denser than half
        // a pixel look solid and are filled.
        bool drawPattern(const Entity& e, const std::vector<std::vector<Vec2>>& rings, const Xf& xf,
            int colour, State& st) const
        {
            const double sc = planScale(xf);
            const double pixel = st.grid.unitsPerPixel / (sc > 0 ? sc : 1);
            Shape lines;
            lines.colour = static_cast<std::uint8_t>(colour);
            std::size_t work = 0;
            const std::size_t budget = options_.limits.maxPoints;
            for (const PatternLine& pl : e.patternLines) {
                const double ux = std::cos(pl.angle), uy = std::sin(pl.angle);
                const double nx = -uy, ny = ux; // across the lines
                const double spacing = pl.offset.x * nx + pl.offset.y * ny;
                if (!std::isfinite(spacing) || std::fabs(spacing) < 1e-12) continue;
                if (std::fabs(spacing) < pixel / 2) {
                    Shape fill;
                    fill.colour = static_cast<std::uint8_t>(colour);
                    fill.filled = true;
                    fill.fillRule = FillRule::EvenOdd;
                    for (const auto& r : rings)
                        fill.rings.push_back(mapRing(r, 0, xf, true));
                    return emit(st, std::move(fill));
                }
                // Each edge adds its crossing to every line whose level it spans.
                std::map<long, std::vector<double>> crossings;
                for (const auto& r : rings)
                    for (std::size_t i = 0; i < r.size(); ++i) {
                        const Vec2 a = r[i], b = r[(i + 1) % r.size()];
                        const double da = ((a.x - pl.base.x) * nx + (a.y - pl.base.y) * ny) / spacing;
                        const double db = ((b.x - pl.base.x) * nx + (b.y - pl.base.y) * ny) / spacing;
                        if (da == db) continue;
                        // Half-open, so a vertex on a line counts once.
                        const double lo = std::min(da, db), hi = std::max(da, db);
                        const long k0 = static_cast<long>(std::ceil(lo)),
                                   k1 = static_cast<long>(std::ceil(hi)) - 1;
                        if (static_cast<double>(k1 - k0) > static_cast<double>(budget)) {
                            st.error = "a hatch pattern makes more than " + std::to_string(budget) + " lines";
                            return false;
                        }
                        for (long k = k0; k <= k1; ++k) {
                            if (++work > budget) {
                                st.error
                                    = "a hatch pattern makes more than " + std::to_string(budget) + " points";
                                return false;
                            }
                            const double f = (static_cast<double>(k) - da) / (db - da);
                            const double x = a.x + (b.x - a.x) * f, y = a.y + (b.y - a.y) * f;
                            // Along the line, from the point where its pattern starts.
                            const double ox = pl.base.x + pl.offset.x * static_cast<double>(k);
                            const double oy = pl.base.y + pl.offset.y * static_cast<double>(k);
                            crossings[k].push_back((x - ox) * ux + (y - oy) * uy);
                        }
                    }
                double period = 0;
                for (double d : pl.dashes)
                    period += d == 0 ? pixel : std::fabs(d);
                const bool dashed = period >= 2 * pixel && std::isfinite(period);
                for (auto& [k, ts] : crossings) {
                    std::sort(ts.begin(), ts.end());
                    const double ox = pl.base.x + pl.offset.x * static_cast<double>(k);
                    const double oy = pl.base.y + pl.offset.y * static_cast<double>(k);
                    auto piece = [&](double t0, double t1) {
                        lines.rings.push_back(
                            { { { ox + ux * t0, oy + uy * t0 }, { ox + ux * t1, oy + uy * t1 } }, false });
                        for (Vec2& q : lines.rings.back().points)
                            q = flat(xf.apply({ q.x, q.y, 0 }));
                        return ++work <= budget;
                    };
                    for (std::size_t i = 0; i + 1 < ts.size(); i += 2) {
                        const double t0 = ts[i], t1 = ts[i + 1];
                        if (!dashed) {
                            if (!piece(t0, t1)) break;
                            continue;
                        }
                        double at = std::floor(t0 / period) * period;
                        bool stop = false;
                        while (at < t1 && !stop) {
                            for (double d : pl.dashes) {
                                const double l = d == 0 ? pixel : std::fabs(d);
                                const double a = std::max(at, t0), b = std::min(at + l, t1);
                                if (d >= 0 && b > a - 1e-12
                                    && !piece(a, d == 0 ? std::min(a + pixel, t1) : b)) {
                                    stop = true;
                                    break;
                                }
                                at += l;
                                if (at >= t1) break;
                            }
                        }
                    }
                    if (work > budget) {
                        st.error = "a hatch pattern makes more than " + std::to_string(budget) + " points";
                        return false;
                    }
                }
            }
            return emit(st, std::move(lines));
        }

        bool drawHatch(const Entity& e, const Xf& xf, int colour, double tol, State& st) const
        {
            const std::size_t maxSeg = options_.limits.maxSegmentsPerCurve;
            Shape s;
            s.colour = static_cast<std::uint8_t>(colour);
            s.filled = e.solid;
            s.fillRule = FillRule::EvenOdd;
            std::vector<std::vector<Vec2>> plane; // the rings in the hatch's own plane
            // The hatch style picks the loops: normal (0) all of them, islands
            // in islands alternating; outer (1) the external loops and the
            // islands just inside them; ignore (2) the external loops alone.
            // Writers that flag no loop as external leave every loop in.
            const bool anyExternal
                = std::any_of(e.pathFlags.begin(), e.pathFlags.end(), [](int f) { return f & 1; });
            for (std::size_t k = 0; k < e.paths.size(); ++k) {
                const auto& path = e.paths[k];
                const int flags = k < e.pathFlags.size() ? e.pathFlags[k] : 1;
                if (anyExternal && e.flags == 2 && !(flags & 1)) continue;
                if (anyExternal && e.flags == 1 && !(flags & (1 | 16))) continue;
                std::vector<Vec2> pts;
                for (const HatchEdge& h : path) {
                    std::vector<Vec2> piece;
                    switch (h.type) {
                    case 0:
                        piece.push_back(flat(h.a));
                        appendBulge(piece, flat(h.a), flat(h.b), h.bulge, tol, maxSeg);
                        break;
                    case 1:
                        piece = { flat(h.a), flat(h.b) };
                        break;
                    case 2:
                    case 3: {
                        // Angles of a clockwise edge are given counter-clockwise
                        // and mirrored; the sweep runs from start to end either way.
                        double sweep = h.end - h.start;
                        while (sweep < 0)
                            sweep += 2 * PI;
                        if (sweep == 0 && h.end != h.start) sweep = 2 * PI;
                        if (std::fabs(h.end - h.start) >= 2 * PI - 1e-9) sweep = 2 * PI;
                        double rx = h.radius, ry = h.radius, rot = 0, start = h.start;
                        if (h.type == 3) {
                            rx = std::hypot(h.b.x, h.b.y);
                            ry = rx * h.ratio;
                            rot = std::atan2(h.b.y, h.b.x);
                        }
                        if (h.ccw) {
                            appendEllipseArc(piece, flat(h.a), rx, ry, rot, start, sweep, tol, maxSeg, true);
                        } else {
                            appendEllipseArc(
                                piece, flat(h.a), rx, ry, rot, -start, -sweep, tol, maxSeg, true);
                        }
                        break;
                    }
                    case 4: {
                        std::vector<Vec3> out;
                        if (flattenBSpline(h.degree, h.knots, h.control, h.weights, tol, maxSeg, out))
                            for (Vec3 p : out)
                                piece.push_back(flat(p));
                        break;
                    }
                    default:
                        break;
                    }
                    for (Vec2 p : piece)
                        if (pts.empty() || std::hypot(pts.back().x - p.x, pts.back().y - p.y) > 1e-12)
                            pts.push_back(p);
                }
                if (pts.size() > 1
                    && std::hypot(pts.back().x - pts.front().x, pts.back().y - pts.front().y) < 1e-9)
                    pts.pop_back();
                if (!pts.empty()) s.rings.push_back(mapRing(pts, 0, xf, true));
                if (pts.size() >= 3) plane.push_back(std::move(pts));
            }
            if (s.rings.empty()) return true;
            // A pattern's boundary is not drawn, only its lines; the coarse
            // pass for the extents takes the boundary, which holds them.
            if (!e.solid && !e.patternLines.empty() && std::isfinite(st.grid.tolerance))
                return drawPattern(e, plane, xf, colour, st);
            if (!e.solid && e.patternLines.empty()) st.patterns = true;
            return emit(st, std::move(s));
        }

        // TEXT and MTEXT: lines of strokes at the height given, placed by the
        // justification, in the entity's plane.
        // Strokes of one line of runs along the baseline from x = 0, in the
        // text's own units: a run `height` high (the entity's `height` where
        // the run gives none) is `xRatio` times that wide per font unit and
        // `yRatio` times that high. Each run's strokes go to its colour.
        double layRuns(const TextLine& runs, double height, double xRatio, double yRatio, int colour,
            std::map<int, std::vector<Ring>>& out) const
        {
            double x = 0;
            auto place = [&](const std::string& text, double x0, double y0, double sx, double sy,
                             std::vector<Ring>& into) {
                std::vector<Ring> strokes;
                const double w = font_->layout(text, strokes) * sx;
                for (Ring& r : strokes) {
                    for (Vec2& p : r.points)
                        p = { x0 + p.x * sx, y0 + p.y * sy };
                    into.push_back(std::move(r));
                }
                return w;
            };
            for (const TextRun& run : runs) {
                const double hr = run.height > 0 ? run.height : height;
                const double sx = hr * xRatio, sy = hr * yRatio;
                std::vector<Ring>& into = out[run.colour >= 1 ? run.colour : colour];
                double w = 0;
                if (run.stacked) {
                    // A fraction: each part seven tenths high, above and below a bar.
                    const double k = 0.7;
                    std::vector<Ring> probe;
                    const double wo = font_->layout(run.over, probe) * sx * k;
                    const double wu = font_->layout(run.under, probe) * sx * k;
                    w = std::max(wo, wu);
                    if (run.under.empty() && run.stackKind != '^') {
                        w = place(run.over, x, 0, sx, sy, into);
                    } else {
                        place(run.over, x + (w - wo) / 2, sy * 0.55, sx * k, sy * k, into);
                        place(run.under, x + (w - wu) / 2, -sy * 0.3, sx * k, sy * k, into);
                        if (run.stackKind == '/')
                            into.push_back({ { { x, sy * 0.45 }, { x + w, sy * 0.45 } }, false });
                        if (run.stackKind == '#')
                            into.push_back({ { { x, -sy * 0.3 }, { x + w, sy * 1.25 } }, false });
                    }
                } else {
                    w = place(run.text, x, 0, sx, sy, into);
                }
                if (run.underline) into.push_back({ { { x, -sy * 0.2 }, { x + w, -sy * 0.2 } }, false });
                if (run.overline) into.push_back({ { { x, sy * 1.2 }, { x + w, sy * 1.2 } }, false });
                x += w;
            }
            return x;
        }

        double runsWidth(const TextLine& runs, double height, double xRatio) const
        {
            double w = 0;
            for (const TextRun& run : runs) {
                const double hr = (run.height > 0 ? run.height : height) * xRatio;
                w += run.stacked && !run.under.empty()
                    ? std::max(font_->advance(run.over), font_->advance(run.under)) * hr * 0.7
                    : font_->advance(run.stacked ? run.over : run.text) * hr;
            }
            return w;
        }

        // A paragraph cut into lines no wider than `width` (none when it is
        // 0) at its spaces, as CAD wraps MTEXT to its column; a word wider
        // than the column stands on a line of its own.
        std::vector<TextLine> wrap(const TextLine& paragraph, double height, double width) const
        {
            std::vector<TextLine> lines(1);
            if (!(width > 0)) {
                lines[0] = paragraph;
                return lines;
            }
            double used = 0;
            for (const TextRun& run : paragraph) {
                std::vector<TextRun> words;
                if (run.stacked) {
                    words.push_back(run);
                } else {
                    std::size_t i = 0;
                    while (i < run.text.size()) {
                        std::size_t end = run.text.find(' ', i);
                        end = end == std::string::npos ? run.text.size()
                                                       : run.text.find_first_not_of(' ', end);
                        if (end == std::string::npos) end = run.text.size();
                        TextRun w = run;
                        w.text = run.text.substr(i, end - i);
                        words.push_back(std::move(w));
                        i = end;
                    }
                }
                for (TextRun& w : words) {
                    TextRun bare = w;
                    while (!bare.text.empty() && bare.text.back() == ' ')
                        bare.text.pop_back();
                    const double ww = runsWidth({ bare }, height, 1);
                    if (used > 0 && used + ww > width * (1 + 1e-9)) {
                        lines.emplace_back();
                        used = 0;
                    }
                    used += runsWidth({ w }, height, 1);
                    lines.back().push_back(std::move(w));
                }
            }
            return lines;
        }

        // TEXT and MTEXT: lines of strokes at the height given, placed by the
        // justification, in the entity's plane.
        bool drawText(const Entity& e, const Xf& xf, int colour, State& st) const
        {
            if (!font_) {
                st.textSkipped = true;
                return true;
            }
            const double h = e.r > 0 ? e.r : 1;
            std::vector<TextLine> lines;
            double rotation = e.rotation;
            Vec3 anchor = e.pts[0];
            double xScale = h * (e.width > 0 ? e.width : 1), yScale = h;
            double dx = 0, dy = 0;
            if (e.kind == Kind::Text) {
                lines.push_back(textRuns(e.text));
                const double w = runsWidth(lines[0], h, xScale / h);
                if (e.hjust != 0 || e.vjust != 0) {
                    // Justified text hangs from its second point (the first when
                    // a writer left the second out).
                    if (e.hasAlign) anchor = e.pts[1];
                    if ((e.hjust == 3 || e.hjust == 5) && e.hasAlign) {
                        // Aligned and fit: the text runs from the first point to the second.
                        anchor = e.pts[0];
                        const double span = std::hypot(e.pts[1].x - e.pts[0].x, e.pts[1].y - e.pts[0].y);
                        rotation = std::atan2(e.pts[1].y - e.pts[0].y, e.pts[1].x - e.pts[0].x);
                        const double base = runsWidth(lines[0], h, 1);
                        if (base > 0) {
                            xScale = span / (base / h);
                            if (e.hjust == 3) yScale = h * span / base;
                        }
                    } else {
                        dx = e.hjust == 1 || e.hjust == 4 ? -w / 2 : e.hjust == 2 ? -w : 0;
                        dy = e.hjust == 4  ? -h / 2
                            : e.vjust == 1 ? h * 7 / 21
                            : e.vjust == 2 ? -h / 2
                            : e.vjust == 3 ? -h
                                           : 0;
                    }
                }
            } else {
                for (const TextLine& p : mtextParagraphs(e.text, h))
                    for (TextLine& l : wrap(p, h, e.width))
                        lines.push_back(std::move(l));
                if (e.hasAlign) rotation = std::atan2(e.pts[1].y, e.pts[1].x);
                xScale = yScale = h;
            }
            // Each line's baseline from the top, 5/3 of its tallest run below
            // the last (the first its own height down).
            std::vector<double> baselines;
            double y = 0;
            for (std::size_t li = 0; li < lines.size(); ++li) {
                double tallest = 0;
                for (const TextRun& r : lines[li])
                    tallest = std::max(tallest, r.height > 0 ? r.height : h);
                if (!(tallest > 0)) tallest = h;
                y -= li == 0 ? tallest : tallest * 5 / 3 * (e.spacing > 0 ? e.spacing : 1);
                baselines.push_back(y);
            }
            const int attach = e.kind == Kind::MText ? std::clamp(e.flags, 1, 9) : 7;
            const double totalH = baselines.empty() ? h : -baselines.back();
            const Xf place = Xf::translate(anchor).then(Xf::rotateZ(rotation));
            const double shear = std::tan(std::clamp(e.oblique, -1.4, 1.4));
            const bool backward = e.kind == Kind::Text && (e.flags & 2);
            const bool upside = e.kind == Kind::Text && (e.flags & 4);
            std::map<int, std::vector<Ring>> byColour;
            for (std::size_t li = 0; li < lines.size(); ++li) {
                std::map<int, std::vector<Ring>> strokes;
                const double w = layRuns(lines[li], h, xScale / h, yScale / h, colour, strokes);
                double ox = dx, oy = dy;
                if (e.kind == Kind::MText) {
                    const int col = (attach - 1) % 3, row = (attach - 1) / 3;
                    ox = col == 0 ? 0 : col == 1 ? -w / 2 : -w;
                    const double top = row == 0 ? 0 : row == 1 ? totalH / 2 : totalH;
                    oy = top + baselines[li];
                }
                for (auto& [c, rings] : strokes)
                    for (Ring& r : rings) {
                        std::vector<Vec2> pts;
                        for (Vec2 p : r.points) {
                            double x = p.x + p.y * shear + ox, yy = p.y + oy;
                            if (backward) x = -x;
                            if (upside) yy = -yy;
                            pts.push_back(flat(xf.apply(place.apply({ x, yy, 0 }))));
                        }
                        byColour[c].push_back({ pts, false });
                    }
            }
            for (auto& [c, rings] : byColour) {
                Shape s;
                s.colour = static_cast<std::uint8_t>(c);
                s.rings = std::move(rings);
                if (!emit(st, std::move(s))) return false;
            }
            return true;
        }

        Header header_;
        std::map<std::string, Linetype> linetypes_;
        Extents finiteExtents_; // of everything but construction lines
        mutable bool hasXlines_ = false;
        std::vector<Layer> layers_;
        std::map<std::string, Block> blocks_;
        std::vector<Entity> entities_;
        std::vector<std::string> warnings_;
        Extents limits_;
        Options options_;
        std::string name_;
        Extents extents_;
        std::shared_ptr<const StrokeFont> font_;
        std::string fontError_;
    };

} // namespace

std::unique_ptr<Source> makeSource(
    Model&& model, const Options& options, std::string name, std::string& error)
{
    auto source = std::make_unique<DxfSource>(std::move(model), options, std::move(name));
    if (!source->prepare(error)) return nullptr;
    return source;
}

} // namespace qorvan::import::dxf
