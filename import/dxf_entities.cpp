#include "import/dxf_entities.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>

namespace qorvan::import::dxf {

namespace {

    // Real patterns have a handful of lines of a few dashes each; these keep
    // a hostile one from multiplying the work of every line it crosses.
    constexpr std::size_t MAX_PATTERN_LINES = 64;
    constexpr std::size_t MAX_PATTERN_DASHES = 32;

    void readCommon(Entity& e, const Group& x, EntityContext& ctx)
    {
        switch (x.code) {
        case 8:
            e.layer = ctx.layerIndex(x.value);
            break;
        case 62:
            e.colour = static_cast<int>(integer(x.value));
            break;
        case 420:
            e.trueColour = integer(x.value) & 0xFFFFFF;
            break;
        case 210:
            e.extrusion.x = number(x.value);
            break;
        case 220:
            e.extrusion.y = number(x.value);
            break;
        case 230:
            e.extrusion.z = number(x.value);
            break;
        case 6:
            e.linetype = upper(trimmed(x.value));
            break;
        case 48:
            e.linetypeScale = number(x.value) > 0 ? number(x.value) : 1;
            break;
        case 60:
            e.invisible = integer(x.value) == 1;
            break;
        default:
            break;
        }
    }

    void setCoord(Vec3& p, int code, std::string_view v)
    {
        const double d = number(v);
        if (code < 20)
            p.x = d;
        else if (code < 30)
            p.y = d;
        else
            p.z = d;
    }

    // Widths given per vertex (-1 where a vertex gave none, which takes the
    // default); kept only when some segment has a width.
    void setWidths(
        Entity& e, std::vector<std::pair<double, double>>& widths, double defaultStart, double defaultEnd)
    {
        bool any = false;
        for (auto& [s, t] : widths) {
            if (s < 0) s = defaultStart;
            if (t < 0) t = defaultEnd;
            any = any || s > 0 || t > 0;
        }
        if (any) e.widths = std::move(widths);
    }

    // A group's members are drawn as the group's own lines.
    void inherit(Entity& e)
    {
        for (Entity& c : e.children) {
            c.layer = e.layer;
            c.colour = e.colour;
            c.trueColour = e.trueColour;
            c.linetype = e.linetype;
            c.linetypeScale = e.linetypeScale;
        }
    }

    Vec3& pointAt(Entity& e, std::size_t k)
    {
        if (e.pts.size() <= k) e.pts.resize(k + 1);
        return e.pts[k];
    }

    bool pointLike(std::string_view type, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        e.kind = type == "LINE" ? Kind::Line
            : type == "POINT"   ? Kind::Point
            : type == "CIRCLE"  ? Kind::Circle
            : type == "ARC"     ? Kind::Arc
            : type == "ELLIPSE" ? Kind::Ellipse
            : type == "3DFACE"  ? Kind::Face
                                : Kind::Solid;
        e.ocs = !(
            e.kind == Kind::Line || e.kind == Kind::Point || e.kind == Kind::Face || e.kind == Kind::Ellipse);
        bool has13 = false;
        if (e.kind == Kind::Ellipse) e.a1 = 2 * PI;
        for (const Group& x : gs) {
            readCommon(e, x, ctx);
            if (x.code >= 10 && x.code <= 33) {
                const std::size_t k = static_cast<std::size_t>(x.code % 10);
                if (k <= 3) setCoord(pointAt(e, k), x.code, x.value);
                if (k == 3) has13 = true;
            } else if (x.code == 40) {
                e.r = number(x.value);
                if (e.kind == Kind::Ellipse) e.ratio = e.r;
            } else if (x.code == 41)
                e.a0 = number(x.value);
            else if (x.code == 42)
                e.a1 = number(x.value);
            else if (x.code == 50)
                e.a0 = number(x.value) * DEG;
            else if (x.code == 51)
                e.a1 = number(x.value) * DEG;
            else if (x.code == 70)
                e.flags = static_cast<int>(integer(x.value));
        }
        if (e.pts.empty()) e.pts.resize(1);
        // Copies first: pointAt may grow the vector under a reference into it.
        if (e.kind == Kind::Solid || e.kind == Kind::Face) {
            // Corners not given are at the origin, the format's default
            // for a missing coordinate; a missing fourth repeats the third.
            if (e.pts.size() < 3) e.pts.resize(3);
            if (!has13) {
                const Vec3 third = e.pts[2];
                pointAt(e, 3) = third;
            }
        }
        if (e.kind == Kind::Line && e.pts.size() < 2) {
            const Vec3 start = e.pts[0];
            pointAt(e, 1) = start;
        }
        if (e.kind == Kind::Ellipse && e.pts.size() < 2) pointAt(e, 1) = { 1, 0, 0 };
        if (e.kind == Kind::Ellipse && e.r == 0) e.ratio = 1;
        return true;
    }

    bool lwPolyline(std::string_view type, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        (void)type;
        e.kind = Kind::Polyline;
        double elevation = 0, constant = 0;
        std::vector<std::pair<double, double>> widths;
        for (const Group& x : gs) {
            readCommon(e, x, ctx);
            if (x.code == 10) {
                e.pts.push_back({ number(x.value), 0, 0 });
                e.bulges.push_back(0);
                widths.emplace_back(-1, -1);
            } else if (x.code == 20 && !e.pts.empty())
                e.pts.back().y = number(x.value);
            else if (x.code == 42 && !e.bulges.empty())
                e.bulges.back() = number(x.value);
            else if (x.code == 40 && !widths.empty())
                widths.back().first = std::fabs(number(x.value));
            else if (x.code == 41 && !widths.empty())
                widths.back().second = std::fabs(number(x.value));
            else if (x.code == 43)
                constant = std::fabs(number(x.value));
            else if (x.code == 38)
                elevation = number(x.value);
            else if (x.code == 70)
                e.closed = (integer(x.value) & 1) != 0;
        }
        for (Vec3& p : e.pts)
            p.z = elevation;
        setWidths(e, widths, constant, constant);
        return true;
    }

    bool polyline(std::string_view type, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        (void)type;
        e.kind = Kind::Polyline;
        bool inVertex = false;
        double elevation = 0;
        Vec3 v;
        double bulge = 0, start = -1, end = -1, defaultStart = 0, defaultEnd = 0;
        int vflags = 0;
        std::vector<std::pair<double, double>> widths;
        auto flush = [&] {
            // Polyface records (flag 128 without 64) and spline frame points (16) are not outline
            // vertices.
            if (inVertex && !((vflags & 128) && !(vflags & 64)) && !(vflags & 16)) {
                e.pts.push_back(v);
                e.bulges.push_back(bulge);
                widths.emplace_back(start, end);
            }
        };
        for (const Group& x : gs) {
            if (x.code == 0) {
                flush();
                inVertex = true;
                v = { 0, 0, elevation };
                bulge = 0;
                start = end = -1;
                vflags = 0;
                continue;
            }
            if (!inVertex) {
                readCommon(e, x, ctx);
                if (x.code == 30)
                    elevation = number(x.value);
                else if (x.code == 70)
                    e.flags = static_cast<int>(integer(x.value));
                else if (x.code == 40)
                    defaultStart = std::fabs(number(x.value));
                else if (x.code == 41)
                    defaultEnd = std::fabs(number(x.value));
                continue;
            }
            if (x.code >= 10 && x.code <= 30 && x.code % 10 == 0)
                setCoord(v, x.code, x.value);
            else if (x.code == 42)
                bulge = number(x.value);
            else if (x.code == 40)
                start = std::fabs(number(x.value));
            else if (x.code == 41)
                end = std::fabs(number(x.value));
            else if (x.code == 70)
                vflags = static_cast<int>(integer(x.value));
        }
        flush();
        e.closed = (e.flags & 1) != 0;
        e.ocs = (e.flags & (8 | 16 | 64)) == 0;
        if (e.ocs) setWidths(e, widths, defaultStart, defaultEnd);
        if (e.flags & (16 | 64))
            ctx.warnOnce(
                "mesh", ctx.fileName() + ": polygon and polyface meshes are drawn as their vertices' path");
        return true;
    }

    bool spline(std::string_view type, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        (void)type;
        e.kind = Kind::Spline;
        e.ocs = false;
        for (const Group& x : gs) {
            readCommon(e, x, ctx);
            if (x.code == 10)
                e.pts.push_back({ number(x.value), 0, 0 });
            else if ((x.code == 20 || x.code == 30) && !e.pts.empty())
                setCoord(e.pts.back(), x.code, x.value);
            else if (x.code == 11)
                e.fit.push_back({ number(x.value), 0, 0 });
            else if ((x.code == 21 || x.code == 31) && !e.fit.empty())
                setCoord(e.fit.back(), x.code, x.value);
            else if (x.code == 12 || x.code == 22 || x.code == 32) {
                if (!e.startTangent) e.startTangent = Vec3 {};
                setCoord(*e.startTangent, x.code - 2, x.value);
            } else if (x.code == 13 || x.code == 23 || x.code == 33) {
                if (!e.endTangent) e.endTangent = Vec3 {};
                setCoord(*e.endTangent, x.code - 3, x.value);
            } else if (x.code == 40)
                e.knots.push_back(number(x.value));
            else if (x.code == 41)
                e.weights.push_back(number(x.value));
            else if (x.code == 70)
                e.flags = static_cast<int>(integer(x.value));
            else if (x.code == 71)
                e.degree = static_cast<int>(std::clamp<long>(integer(x.value), 1, 11));
        }
        e.closed = (e.flags & 1) != 0;
        return true;
    }

    bool hatch(std::string_view type, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        (void)type;
        e.kind = Kind::Hatch;
        // Boundary data comes in order: path count (91), then for each path
        // its type (92) and edges; the codes 10/20 mean different things in
        // each place, so this walks the groups as a sequence.
        std::size_t i = 0;
        auto at = [&](int code) { return i < gs.size() && gs[i].code == code; };
        int style = 0;
        for (; i < gs.size(); ++i) {
            const Group& x = gs[i];
            readCommon(e, x, ctx);
            if (x.code == 2)
                e.pattern = trimmed(x.value);
            else if (x.code == 70)
                e.solid = integer(x.value) == 1;
            else if (x.code == 91) {
                ++i;
                break;
            }
        }
        while (i < gs.size()) {
            if (!at(92)) {
                const Group& x = gs[i];
                readCommon(e, x, ctx);
                if (x.code == 75)
                    style = static_cast<int>(integer(x.value));
                else if (x.code == 450 && integer(x.value) != 0)
                    e.solid = true;
                else if (x.code == 53 && e.patternLines.size() < MAX_PATTERN_LINES)
                    e.patternLines.push_back({ number(x.value) * DEG, {}, {}, {} });
                else if (!e.patternLines.empty()) {
                    PatternLine& pl = e.patternLines.back();
                    if (x.code == 43)
                        pl.base.x = number(x.value);
                    else if (x.code == 44)
                        pl.base.y = number(x.value);
                    else if (x.code == 45)
                        pl.offset.x = number(x.value);
                    else if (x.code == 46)
                        pl.offset.y = number(x.value);
                    else if (x.code == 49 && pl.dashes.size() < MAX_PATTERN_DASHES)
                        pl.dashes.push_back(number(x.value));
                }
                ++i;
                continue;
            }
            const long pathType = integer(gs[i].value);
            ++i;
            std::vector<HatchEdge> path;
            if (pathType & 2) {
                bool hasBulge = false, closedPath = true;
                if (at(72)) hasBulge = integer(gs[i++].value) != 0;
                if (at(73)) closedPath = integer(gs[i++].value) != 0;
                (void)closedPath;
                long n = at(93) ? integer(gs[i++].value) : 0;
                std::vector<Vec3> vs;
                std::vector<double> bs;
                for (long k = 0; k < n && at(10); ++k) {
                    Vec3 p { number(gs[i++].value), 0, 0 };
                    if (at(20)) p.y = number(gs[i++].value);
                    double b = 0;
                    if (hasBulge && at(42)) b = number(gs[i++].value);
                    vs.push_back(p);
                    bs.push_back(b);
                }
                for (std::size_t k = 0; k < vs.size(); ++k) {
                    HatchEdge he;
                    he.type = 0;
                    he.a = vs[k];
                    he.b = vs[(k + 1) % vs.size()];
                    he.bulge = bs[k];
                    path.push_back(he);
                }
            } else {
                long n = at(93) ? integer(gs[i++].value) : 0;
                for (long k = 0; k < n && at(72); ++k) {
                    HatchEdge he;
                    he.type = static_cast<int>(integer(gs[i++].value));
                    // Each edge's groups run until the next edge or the path's end.
                    while (i < gs.size() && gs[i].code != 72 && gs[i].code != 97 && gs[i].code != 92) {
                        const Group& x = gs[i++];
                        switch (x.code) {
                        case 10:
                            if (he.type == 4)
                                he.control.push_back({ number(x.value), 0, 0 });
                            else
                                he.a.x = number(x.value);
                            break;
                        case 20:
                            if (he.type == 4 && !he.control.empty())
                                he.control.back().y = number(x.value);
                            else
                                he.a.y = number(x.value);
                            break;
                        case 11:
                            he.b.x = number(x.value);
                            break;
                        case 21:
                            he.b.y = number(x.value);
                            break;
                        case 40:
                            if (he.type == 4)
                                he.knots.push_back(number(x.value));
                            else if (he.type == 3)
                                he.ratio = number(x.value);
                            else
                                he.radius = number(x.value);
                            break;
                        case 42:
                            he.weights.push_back(number(x.value));
                            break;
                        case 50:
                            he.start = number(x.value) * DEG;
                            break;
                        case 51:
                            he.end = number(x.value) * DEG;
                            break;
                        case 73:
                            he.ccw = integer(x.value) != 0;
                            break;
                        case 94:
                            he.degree = static_cast<int>(std::clamp<long>(integer(x.value), 1, 11));
                            break;
                        default:
                            break;
                        }
                    }
                    if (he.type == 4 && at(97)) {
                        // A spline edge may end in its fit data: a count, then
                        // points and tangents, before the next edge or the
                        // path's own count of source objects (also 97).
                        const long fits = integer(gs[i++].value);
                        for (long f = 0; f < fits && (at(11) || at(21)); ++f) {
                            ++i;
                            if (at(21)) ++i;
                        }
                        while (at(12) || at(22) || at(13) || at(23))
                            ++i;
                    }
                    if (he.type == 4 && !he.weights.empty() && he.weights.size() != he.control.size())
                        he.weights.clear();
                    path.push_back(std::move(he));
                }
            }
            // Source object handles.
            if (at(97)) {
                long n = integer(gs[i++].value);
                for (long k = 0; k < n && at(330); ++k)
                    ++i;
            }
            if (!path.empty()) {
                e.paths.push_back(std::move(path));
                e.pathFlags.push_back(static_cast<int>(pathType));
            }
        }
        e.flags = style;
        e.ocs = true;
        return true;
    }

    bool insert(std::string_view type, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        e.kind = type == "INSERT" ? Kind::Insert : Kind::Dimension;
        for (const Group& x : gs) {
            readCommon(e, x, ctx);
            if (x.code == 2)
                e.block = upper(std::string(x.value));
            else if (e.kind == Kind::Insert) {
                if (x.code >= 10 && x.code <= 30 && x.code % 10 == 0)
                    setCoord(pointAt(e, 0), x.code, x.value);
                else if (x.code == 41)
                    e.sx = number(x.value);
                else if (x.code == 42)
                    e.sy = number(x.value);
                else if (x.code == 43)
                    e.sz = number(x.value);
                else if (x.code == 50)
                    e.rotation = number(x.value) * DEG;
                else if (x.code == 70)
                    e.cols = static_cast<int>(std::clamp<long>(integer(x.value), 1, 32767));
                else if (x.code == 71)
                    e.rows = static_cast<int>(std::clamp<long>(integer(x.value), 1, 32767));
                else if (x.code == 44)
                    e.colSpacing = number(x.value);
                else if (x.code == 45)
                    e.rowSpacing = number(x.value);
            }
        }
        if (e.pts.empty()) e.pts.resize(1);
        e.ocs = e.kind == Kind::Insert;
        return true;
    }

    bool text(std::string_view type, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        // An attribute definition shows its tag where it stands in the model
        // space; inside a block the references' attributes stand for it.
        e.definition = type == "ATTDEF";
        e.kind = Kind::Text;
        e.pts.resize(2);
        for (const Group& x : gs) {
            readCommon(e, x, ctx);
            if (x.code >= 10 && x.code <= 31 && (x.code % 10 == 0 || x.code % 10 == 1)) {
                setCoord(e.pts[static_cast<std::size_t>(x.code % 10)], x.code - x.code % 10, x.value);
                if (x.code % 10 == 1) e.hasAlign = true;
            } else if (x.code == (e.definition ? 2 : 1))
                e.text = ctx.text(x.value);
            else if (x.code == 40)
                e.r = number(x.value);
            else if (x.code == 41)
                e.width = number(x.value);
            else if (x.code == 50)
                e.rotation = number(x.value) * DEG;
            else if (x.code == 51)
                e.oblique = number(x.value) * DEG;
            else if (x.code == 71)
                e.flags = static_cast<int>(integer(x.value));
            else if (x.code == 72)
                e.hjust = static_cast<int>(integer(x.value));
            else if (x.code == 73 && type == "TEXT")
                e.vjust = static_cast<int>(integer(x.value));
            else if (x.code == 74 && type != "TEXT")
                e.vjust = static_cast<int>(integer(x.value));
            else if (x.code == 70 && type != "TEXT" && (integer(x.value) & 1))
                return false; // invisible
        }
        return true;
    }

    bool mtext(std::string_view type, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        (void)type;
        e.kind = Kind::MText;
        e.ocs = false;
        e.width = 0; // the column's width: none unless given
        e.pts.resize(2);
        std::string head, tail;
        bool hasDir = false;
        for (const Group& x : gs) {
            // A newer writer's embedded object (columns and the like) follows
            // group 101 with codes of its own that reuse the entity's.
            if (x.code == 101) break;
            readCommon(e, x, ctx);
            if (x.code == 10 || x.code == 20 || x.code == 30)
                setCoord(e.pts[0], x.code, x.value);
            else if (x.code == 11 || x.code == 21 || x.code == 31) {
                setCoord(e.pts[1], x.code - 1, x.value);
                hasDir = true;
            } else if (x.code == 1)
                tail = std::string(x.value);
            else if (x.code == 3)
                head += std::string(x.value);
            else if (x.code == 40)
                e.r = number(x.value);
            else if (x.code == 41)
                e.width = number(x.value);
            else if (x.code == 44)
                e.spacing = number(x.value);
            else if (x.code == 50)
                e.rotation = number(x.value) * DEG;
            else if (x.code == 71)
                e.flags = static_cast<int>(integer(x.value));
        }
        e.text = ctx.text(head + tail);
        e.hasAlign = hasDir && len(e.pts[1]) > 0;
        return true;
    }

    bool leader(std::string_view, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        e.kind = Kind::Leader;
        e.ocs = false;
        e.flags = 1; // an arrowhead unless the entity says none
        for (const Group& x : gs) {
            readCommon(e, x, ctx);
            if (x.code == 10)
                e.pts.push_back({ number(x.value), 0, 0 });
            else if ((x.code == 20 || x.code == 30) && !e.pts.empty())
                setCoord(e.pts.back(), x.code, x.value);
            else if (x.code == 71)
                e.flags = integer(x.value) != 0 ? 1 : 0;
            else if (x.code == 72)
                e.hasAlign = integer(x.value) == 1; // a spline through the vertices
        }
        return e.pts.size() >= 2;
    }

    // A multiline: each element a polyline through the vertices, set off along
    // each vertex's miter by the element's first parameter.
    bool mline(std::string_view, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        e.kind = Kind::Group;
        e.ocs = false;
        int flags = 0;
        std::size_t elements = 0;
        std::vector<Vec3> vertices, miters;
        std::vector<std::vector<double>> offsets; // per vertex, per element
        std::size_t group = 0; // which 41 run of the vertex's elements
        bool firstParameter = false;
        for (const Group& x : gs) {
            readCommon(e, x, ctx);
            if (x.code == 71)
                flags = static_cast<int>(integer(x.value));
            else if (x.code == 73)
                elements = static_cast<std::size_t>(std::clamp<long>(integer(x.value), 0, 64));
            else if (x.code == 11) {
                vertices.push_back({ number(x.value), 0, 0 });
                miters.emplace_back();
                offsets.emplace_back();
                group = 0;
            } else if ((x.code == 21 || x.code == 31) && !vertices.empty())
                setCoord(vertices.back(), x.code - 1, x.value);
            else if ((x.code == 13 || x.code == 23 || x.code == 33) && !miters.empty())
                setCoord(miters.back(), x.code - 3, x.value);
            else if (x.code == 74 && !offsets.empty()) {
                firstParameter = true;
                ++group;
            } else if (x.code == 41 && !offsets.empty() && firstParameter) {
                if (offsets.back().size() < group) offsets.back().push_back(number(x.value));
                firstParameter = false;
            }
        }
        for (std::size_t k = 0; k < elements; ++k) {
            Entity line;
            line.kind = Kind::Polyline;
            line.ocs = false;
            line.closed = (flags & 2) != 0;
            for (std::size_t v = 0; v < vertices.size(); ++v) {
                const double d = k < offsets[v].size() ? offsets[v][k] : 0;
                line.pts.push_back(vertices[v] + miters[v] * d);
                line.bulges.push_back(0);
            }
            if (line.pts.size() >= 2) e.children.push_back(std::move(line));
        }
        inherit(e);
        return !e.children.empty();
    }

    bool xline(std::string_view type, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        e.kind = Kind::Xline;
        e.ocs = false;
        e.ray = type == "RAY";
        e.pts.resize(2);
        for (const Group& x : gs) {
            readCommon(e, x, ctx);
            if (x.code >= 10 && x.code <= 31 && (x.code % 10 == 0 || x.code % 10 == 1))
                setCoord(e.pts[static_cast<std::size_t>(x.code % 10)], x.code - x.code % 10, x.value);
        }
        return std::hypot(e.pts[1].x, e.pts[1].y) > 0;
    }

    // IMAGE and WIPEOUT: a picture's frame (its clipping boundary when
    // clipping is on), given in pixels from the insertion point along the
    // u and v vectors. The picture itself is not drawn; a wipeout fills its
    // frame with the background.
    bool imageFrame(std::string_view type, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        const bool wipeout = type == "WIPEOUT";
        e.kind = wipeout ? Kind::Area : Kind::Polyline;
        e.ocs = false;
        e.closed = true;
        Vec3 insert, u, v;
        Vec2 size { 1, 1 };
        std::vector<Vec2> clip;
        int clipType = 1;
        bool clipping = false;
        for (const Group& x : gs) {
            readCommon(e, x, ctx);
            if (x.code == 10 || x.code == 20 || x.code == 30)
                setCoord(insert, x.code, x.value);
            else if (x.code == 11 || x.code == 21 || x.code == 31)
                setCoord(u, x.code - 1, x.value);
            else if (x.code == 12 || x.code == 22 || x.code == 32)
                setCoord(v, x.code - 2, x.value);
            else if (x.code == 13)
                size.x = number(x.value);
            else if (x.code == 23)
                size.y = number(x.value);
            else if (x.code == 14 && clip.size() < 10000)
                clip.push_back({ number(x.value), 0 });
            else if (x.code == 24 && !clip.empty())
                clip.back().y = number(x.value);
            else if (x.code == 71)
                clipType = static_cast<int>(integer(x.value));
            else if (x.code == 280)
                clipping = integer(x.value) != 0;
        }
        if (!clipping || clip.size() < 2) clip = { { -0.5, -0.5 }, { size.x - 0.5, size.y - 0.5 } };
        if (clipType == 1 || clip.size() == 2)
            clip = { clip[0], { clip[1].x, clip[0].y }, clip[1], { clip[0].x, clip[1].y } };
        if (clip.size() > 3 && clip.front().x == clip.back().x && clip.front().y == clip.back().y)
            clip.pop_back();
        // Pixel rows count down from the picture's top edge.
        for (Vec2 p : clip) {
            e.pts.push_back(insert + u * (p.x + 0.5) + v * (size.y - 0.5 - p.y));
            e.bulges.push_back(0);
        }
        return e.pts.size() >= 3;
    }

    // A subdivision mesh at level 0 as its faces' edges, each edge once.
    bool mesh(std::string_view, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        e.kind = Kind::Group;
        e.ocs = false;
        std::vector<Vec3> vertices;
        std::set<std::pair<long, long>> edges;
        std::size_t i = 0;
        auto at = [&](int code) { return i < gs.size() && gs[i].code == code; };
        while (i < gs.size()) {
            const Group& x = gs[i];
            readCommon(e, x, ctx);
            ++i;
            if (x.code == 92) {
                for (long n = integer(x.value); n > 0 && at(10); --n) {
                    Vec3 p { number(gs[i++].value), 0, 0 };
                    if (at(20)) p.y = number(gs[i++].value);
                    if (at(30)) p.z = number(gs[i++].value);
                    vertices.push_back(p);
                }
            } else if (x.code == 93) {
                long items = integer(x.value);
                while (items > 0 && at(90)) {
                    const long n = integer(gs[i++].value);
                    --items;
                    std::vector<long> face;
                    for (long k = 0; k < n && items > 0 && at(90); ++k, --items)
                        face.push_back(integer(gs[i++].value));
                    for (std::size_t k = 0; k < face.size() && face.size() > 1; ++k) {
                        const long a = face[k], b = face[(k + 1) % face.size()];
                        edges.insert({ std::min(a, b), std::max(a, b) });
                    }
                }
            }
        }
        const long n = static_cast<long>(vertices.size());
        for (const auto& [a, b] : edges) {
            if (a < 0 || b >= n || a == b) continue;
            Entity line;
            line.kind = Kind::Line;
            line.ocs = false;
            line.pts = { vertices[static_cast<std::size_t>(a)], vertices[static_cast<std::size_t>(b)] };
            e.children.push_back(std::move(line));
        }
        inherit(e);
        return !e.children.empty();
    }

    // Entities read past without a word: viewports and the markers that close
    // or belong to others.
    bool ignored(std::string_view, const std::vector<Group>&, Entity&, EntityContext&)
    {
        return false;
    }

} // namespace

EntityParser entityParser(std::string_view type)
{
    static const std::map<std::string_view, EntityParser> table {
        { "LINE", pointLike },
        { "POINT", pointLike },
        { "CIRCLE", pointLike },
        { "ARC", pointLike },
        { "SOLID", pointLike },
        { "TRACE", pointLike },
        { "3DFACE", pointLike },
        { "ELLIPSE", pointLike },
        { "LWPOLYLINE", lwPolyline },
        { "POLYLINE", polyline },
        { "SPLINE", spline },
        { "HELIX", spline }, // a spline with the helix's own data beside it
        { "HATCH", hatch },
        { "INSERT", insert },
        { "DIMENSION", insert },
        // Newer dimension types draw through their block as DIMENSION does.
        { "ARC_DIMENSION", insert },
        { "LARGE_RADIAL_DIMENSION", insert },
        { "TEXT", text },
        { "ATTRIB", text },
        { "ATTDEF", text },
        { "MTEXT", mtext },
        { "LEADER", leader },
        { "MLINE", mline },
        { "XLINE", xline },
        { "RAY", xline },
        { "IMAGE", imageFrame },
        { "WIPEOUT", imageFrame },
        { "MESH", mesh },
        { "VIEWPORT", ignored },
        { "SEQEND", ignored },
        { "VERTEX", ignored },
    };
    const auto it = table.find(type);
    return it == table.end() ? nullptr : it->second;
}

} // namespace qorvan::import::dxf
