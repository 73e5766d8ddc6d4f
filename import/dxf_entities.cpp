#include "import/dxf_entities.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace qorvan::import::dxf {

namespace {

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
        double elevation = 0;
        for (const Group& x : gs) {
            readCommon(e, x, ctx);
            if (x.code == 10) {
                e.pts.push_back({ number(x.value), 0, 0 });
                e.bulges.push_back(0);
            } else if (x.code == 20 && !e.pts.empty())
                e.pts.back().y = number(x.value);
            else if (x.code == 42 && !e.bulges.empty())
                e.bulges.back() = number(x.value);
            else if (x.code == 38)
                elevation = number(x.value);
            else if (x.code == 70)
                e.closed = (integer(x.value) & 1) != 0;
        }
        for (Vec3& p : e.pts)
            p.z = elevation;
        return true;
    }

    bool polyline(std::string_view type, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        (void)type;
        e.kind = Kind::Polyline;
        bool inVertex = false;
        double elevation = 0;
        Vec3 v;
        double bulge = 0;
        int vflags = 0;
        auto flush = [&] {
            // Polyface records (flag 128 without 64) and spline frame points (16) are not outline
            // vertices.
            if (inVertex && !((vflags & 128) && !(vflags & 64)) && !(vflags & 16)) {
                e.pts.push_back(v);
                e.bulges.push_back(bulge);
            }
        };
        for (const Group& x : gs) {
            if (x.code == 0) {
                flush();
                inVertex = true;
                v = { 0, 0, elevation };
                bulge = 0;
                vflags = 0;
                continue;
            }
            if (!inVertex) {
                readCommon(e, x, ctx);
                if (x.code == 30)
                    elevation = number(x.value);
                else if (x.code == 70)
                    e.flags = static_cast<int>(integer(x.value));
                continue;
            }
            if (x.code >= 10 && x.code <= 30 && x.code % 10 == 0)
                setCoord(v, x.code, x.value);
            else if (x.code == 42)
                bulge = number(x.value);
            else if (x.code == 70)
                vflags = static_cast<int>(integer(x.value));
        }
        flush();
        e.closed = (e.flags & 1) != 0;
        e.ocs = (e.flags & (8 | 16 | 64)) == 0;
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
            else if (x.code == 40)
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
            if (!path.empty()) e.paths.push_back(std::move(path));
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
        if (type == "ATTDEF") return false; // definitions show only in the block editor
        e.kind = Kind::Text;
        e.pts.resize(2);
        for (const Group& x : gs) {
            readCommon(e, x, ctx);
            if (x.code >= 10 && x.code <= 31 && (x.code % 10 == 0 || x.code % 10 == 1)) {
                setCoord(e.pts[static_cast<std::size_t>(x.code % 10)], x.code - x.code % 10, x.value);
                if (x.code % 10 == 1) e.hasAlign = true;
            } else if (x.code == 1)
                e.text = std::string(x.value);
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
            else if (x.code == 74 && type == "ATTRIB")
                e.vjust = static_cast<int>(integer(x.value));
            else if (x.code == 70 && type == "ATTRIB" && (integer(x.value) & 1))
                return false; // invisible
        }
        return true;
    }

    bool mtext(std::string_view type, const std::vector<Group>& gs, Entity& e, EntityContext& ctx)
    {
        (void)type;
        e.kind = Kind::MText;
        e.ocs = false;
        e.pts.resize(2);
        std::string head, tail;
        bool hasDir = false;
        for (const Group& x : gs) {
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
        e.text = head + tail;
        e.hasAlign = hasDir && len(e.pts[1]) > 0;
        return true;
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
        { "HATCH", hatch },
        { "INSERT", insert },
        { "DIMENSION", insert },
        { "TEXT", text },
        { "ATTRIB", text },
        { "ATTDEF", text },
        { "MTEXT", mtext },
        { "VIEWPORT", ignored },
        { "SEQEND", ignored },
        { "VERTEX", ignored },
    };
    const auto it = table.find(type);
    return it == table.end() ? nullptr : it->second;
}

} // namespace qorvan::import::dxf
