#include "import/dxf.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <numbers>
#include <optional>
#include <set>

#include "import/stroke_font.h"
#include "slide/palette_match.h"

namespace qorvan::import {

namespace {

    constexpr double PI = std::numbers::pi;
    constexpr double DEG = PI / 180;

    // ---------------------------------------------------------------- groups

    struct Group {
        int code = 0;
        std::string_view value;
    };

    // Pairs of lines: a group code, then its value. Values keep their leading
    // spaces (they belong to text); a trailing carriage return is dropped.
    class GroupReader {
    public:
        explicit GroupReader(std::string_view text)
            : text_(text)
        {
            if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3; // a byte-order mark some writers put first
        }

        // False at the end of the text; `error` says why when it stopped early.
        bool next(Group& g, std::string& error)
        {
            if (pushedBack_) {
                pushedBack_ = false;
                g = last_;
                return true;
            }
            std::string_view codeLine;
            if (!line(codeLine)) return false;
            while (!codeLine.empty() && (codeLine.front() == ' ' || codeLine.front() == '\t'))
                codeLine.remove_prefix(1);
            while (!codeLine.empty() && (codeLine.back() == ' ' || codeLine.back() == '\t'))
                codeLine.remove_suffix(1);
            if (codeLine.empty() && atEnd()) return false;
            char* end = nullptr;
            const std::string code(codeLine);
            const long c = std::strtol(code.c_str(), &end, 10);
            if (code.empty() || *end != '\0' || c < -32768 || c > 32767) {
                error = "line " + std::to_string(lineNo_) + ": a group code was expected, not \""
                    + code.substr(0, 40) + "\"";
                return false;
            }
            if (!line(g.value)) {
                error = "line " + std::to_string(lineNo_) + ": the file ends after group code " + code;
                return false;
            }
            g.code = static_cast<int>(c);
            last_ = g;
            return true;
        }
        void pushBack() { pushedBack_ = true; }
        bool atEnd() const { return pos_ >= text_.size(); }
        std::size_t lineNo() const { return lineNo_; }

    private:
        bool line(std::string_view& out)
        {
            if (pos_ >= text_.size()) return false;
            std::size_t nl = text_.find('\n', pos_);
            if (nl == std::string_view::npos) nl = text_.size();
            out = text_.substr(pos_, nl - pos_);
            if (!out.empty() && out.back() == '\r') out.remove_suffix(1);
            pos_ = nl + 1;
            ++lineNo_;
            return true;
        }
        std::string_view text_;
        std::size_t pos_ = 0;
        std::size_t lineNo_ = 0;
        Group last_;
        bool pushedBack_ = false;
    };

    double number(std::string_view v)
    {
        const std::string s(v.substr(0, 64));
        char* end = nullptr;
        const double d = std::strtod(s.c_str(), &end);
        return std::isfinite(d) ? d : 0;
    }

    long integer(std::string_view v)
    {
        const double d = number(v);
        return d > 2e9 ? 2000000000L : d < -2e9 ? -2000000000L : static_cast<long>(d);
    }

    std::string upper(std::string_view s)
    {
        std::string u(s);
        for (char& c : u)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return u;
    }

    std::string trimmed(std::string_view s)
    {
        while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
            s.remove_prefix(1);
        while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
            s.remove_suffix(1);
        return std::string(s);
    }

    // ---------------------------------------------------------------- geometry

    struct Vec3 {
        double x = 0, y = 0, z = 0;
    };

    Vec3 operator+(Vec3 a, Vec3 b)
    {
        return { a.x + b.x, a.y + b.y, a.z + b.z };
    }
    Vec3 operator*(Vec3 a, double k)
    {
        return { a.x * k, a.y * k, a.z * k };
    }
    Vec3 crossV(Vec3 a, Vec3 b)
    {
        return { a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x };
    }
    double len(Vec3 a)
    {
        return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    }
    Vec3 unit(Vec3 a)
    {
        const double l = len(a);
        return l > 0 ? a * (1 / l) : Vec3 { 0, 0, 1 };
    }

    // A 3D affine map: columns x, y, z and the origin.
    struct Xf {
        Vec3 cx { 1, 0, 0 }, cy { 0, 1, 0 }, cz { 0, 0, 1 }, o { 0, 0, 0 };

        Vec3 apply(Vec3 p) const { return cx * p.x + cy * p.y + cz * p.z + o; }
        Vec3 applyDir(Vec3 p) const { return cx * p.x + cy * p.y + cz * p.z; }
        Xf then(const Xf& inner) const // this after inner
        {
            return { applyDir(inner.cx), applyDir(inner.cy), applyDir(inner.cz), apply(inner.o) };
        }
        // No length grows by more than this (Frobenius bound of the linear part).
        double scale() const { return std::sqrt(len(cx) * len(cx) + len(cy) * len(cy) + len(cz) * len(cz)); }

        static Xf translate(Vec3 t) { return { { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 }, t }; }
        static Xf rotateZ(double a)
        {
            return { { std::cos(a), std::sin(a), 0 }, { -std::sin(a), std::cos(a), 0 }, { 0, 0, 1 }, {} };
        }
        static Xf scaling(double sx, double sy, double sz)
        {
            return { { sx, 0, 0 }, { 0, sy, 0 }, { 0, 0, sz }, {} };
        }
        // The object coordinate system of an extrusion direction, by the
        // format's arbitrary axis rule.
        static Xf ocs(Vec3 n)
        {
            n = unit(n);
            if (std::fabs(n.x - 0) < 1e-12 && std::fabs(n.y) < 1e-12 && n.z > 0) return {};
            const Vec3 ax
                = unit(std::fabs(n.x) < 1.0 / 64 && std::fabs(n.y) < 1.0 / 64 ? crossV({ 0, 1, 0 }, n)
                                                                              : crossV({ 0, 0, 1 }, n));
            const Vec3 ay = unit(crossV(n, ax));
            return { ax, ay, n, {} };
        }
    };

    // ---------------------------------------------------------------- entities

    enum class Kind {
        Line,
        Point,
        Circle,
        Arc,
        Ellipse,
        Polyline,
        Spline,
        Solid,
        Face,
        Hatch,
        Insert,
        Dimension,
        Text,
        MText
    };

    struct HatchEdge {
        int type = 1; // 1 line, 2 circular arc, 3 elliptic arc, 4 spline, 0 polyline piece with bulge
        Vec3 a, b; // line ends; centre and (elliptic) major axis end
        double radius = 0, start = 0, end = 0, ratio = 1, bulge = 0;
        bool ccw = true;
        std::vector<Vec3> control;
        std::vector<double> knots, weights;
        int degree = 3;
    };

    struct Entity {
        Kind kind = Kind::Line;
        int layer = 0;
        int colour = 256; // 0 by block, 256 by layer
        long trueColour = -1;
        Vec3 extrusion { 0, 0, 1 };
        std::vector<Vec3> pts;
        std::vector<double> bulges;
        bool closed = false;
        bool ocs = true;
        double r = 0, a0 = 0, a1 = 0, ratio = 1; // radius or height, angles or params
        double sx = 1, sy = 1, sz = 1, rotation = 0, width = 1, oblique = 0, spacing = 1;
        int cols = 1, rows = 1, hjust = 0, vjust = 0, flags = 0, degree = 3;
        double colSpacing = 0, rowSpacing = 0;
        bool hasAlign = false;
        std::vector<double> knots, weights;
        std::vector<Vec3> fit;
        std::vector<std::vector<HatchEdge>> paths;
        bool solid = false;
        std::string text;
        std::string block;
        std::string pattern;
        std::vector<Entity> children; // attributes of an insert
    };

    struct Layer {
        std::string name;
        int colour = 7;
        long trueColour = -1;
        bool off = false, frozen = false;
    };

    struct Block {
        Vec3 base;
        std::vector<Entity> entities;
    };

    // ---------------------------------------------------------------- reader

    class DxfSource;

    class Reader {
    public:
        Reader(std::string_view text, const std::string& name, const Options& options)
            : groups_(text)
            , name_(name)
            , options_(options)
        {
            layerIndex("0");
        }

        bool run(std::string& error);

        std::vector<Layer> layers;
        std::map<std::string, Block> blocks;
        std::vector<Entity> entities;
        std::vector<std::string> warnings;

    private:
        int layerIndex(std::string_view name)
        {
            const std::string key = upper(name);
            auto it = index_.find(key);
            if (it != index_.end()) return it->second;
            Layer l;
            l.name = std::string(name);
            layers.push_back(l);
            const int i = static_cast<int>(layers.size() - 1);
            index_[key] = i;
            return i;
        }
        bool fail(std::string& error, const std::string& why)
        {
            error = why;
            return false;
        }
        // One object of the file: the 0 group that names its type (upper
        // case, trimmed) and the groups after it up to the next 0 group.
        struct Object {
            std::string type;
            std::vector<Group> groups;
        };
        // The next object, or the one given back with unread(); false at the
        // end of the text or on an error. Stray groups before a 0 group are
        // passed over. Without keepGroups the groups are read past, not kept.
        bool nextObject(Object& o, std::string& error, bool keepGroups = true);
        void unread(Object&& o)
        {
            pending_ = std::move(o);
            hasPending_ = true;
        }
        bool readGroups(std::vector<Group>* out, std::string& error);
        // The objects of childType that follow their parent (a POLYLINE's
        // VERTEX entities, an INSERT's ATTRIBs), up to the SEQEND that closes
        // them; anything else is left for the caller.
        bool children(
            std::string_view childType, const std::function<bool(Object&)>& each, std::string& error);
        bool readEntities(std::vector<Entity>& into, std::string_view endMarker, std::string& error);
        bool entity(std::string_view type, const std::vector<Group>& gs, std::vector<Entity>& into,
            std::string& error);
        bool tables(std::string& error);
        bool blockSection(std::string& error);
        bool skipSection(std::string& error);
        bool count(std::size_t points, std::string& error)
        {
            points_ += points;
            if (++entityCount_ > options_.limits.maxEntities)
                return fail(error, "more than " + std::to_string(options_.limits.maxEntities) + " entities");
            if (points_ > options_.limits.maxPoints)
                return fail(error, "more than " + std::to_string(options_.limits.maxPoints) + " points");
            return true;
        }
        void warnOnce(const std::string& key, const std::string& text)
        {
            if (warned_.insert(key).second) warnings.push_back(text);
        }

        GroupReader groups_;
        Object pending_;
        bool hasPending_ = false;
        std::string name_;
        const Options& options_;
        std::map<std::string, int> index_;
        std::set<std::string> warned_;
        std::size_t entityCount_ = 0, points_ = 0;
    };

    bool Reader::readGroups(std::vector<Group>* out, std::string& error)
    {
        if (out) out->clear();
        std::size_t n = 0;
        Group g;
        while (groups_.next(g, error)) {
            if (g.code == 0) {
                groups_.pushBack();
                return true;
            }
            if (++n > 4 * options_.limits.maxPoints + 1024)
                return fail(error, "an entity of too many groups");
            if (out) out->push_back(g);
        }
        return error.empty();
    }

    bool Reader::nextObject(Object& o, std::string& error, bool keepGroups)
    {
        if (hasPending_) {
            hasPending_ = false;
            o = std::move(pending_);
            return true;
        }
        Group g;
        while (groups_.next(g, error)) {
            if (g.code != 0) continue;
            o.type = upper(trimmed(g.value));
            if (!keepGroups) o.groups.clear();
            return readGroups(keepGroups ? &o.groups : nullptr, error);
        }
        return false;
    }

    bool Reader::children(
        std::string_view childType, const std::function<bool(Object&)>& each, std::string& error)
    {
        Object o;
        while (nextObject(o, error)) {
            if (o.type == childType) {
                if (!each(o)) return false;
                continue;
            }
            if (o.type != "SEQEND") unread(std::move(o));
            return true;
        }
        return error.empty();
    }

    bool Reader::run(std::string& error)
    {
        Object o;
        while (nextObject(o, error)) {
            if (o.type == "EOF") return true;
            if (o.type != "SECTION") continue;
            std::string section;
            for (const Group& x : o.groups)
                if (x.code == 2) {
                    section = upper(trimmed(x.value));
                    break;
                }
            bool ok = true;
            if (section == "TABLES")
                ok = tables(error);
            else if (section == "BLOCKS")
                ok = blockSection(error);
            else if (section == "ENTITIES")
                ok = readEntities(entities, "ENDSEC", error);
            else
                ok = skipSection(error);
            if (!ok) return false;
        }
        return error.empty(); // files cut after the entities still draw what they hold
    }

    bool Reader::skipSection(std::string& error)
    {
        Object o;
        while (nextObject(o, error, false)) {
            if (o.type == "ENDSEC") return true;
            if (o.type == "EOF") {
                unread(std::move(o));
                return true;
            }
        }
        return error.empty();
    }

    bool Reader::tables(std::string& error)
    {
        Object o;
        while (nextObject(o, error)) {
            if (o.type == "ENDSEC") return true;
            if (o.type == "EOF") {
                unread(std::move(o));
                return true;
            }
            if (o.type != "LAYER") continue;
            std::string name;
            int colour = 7, flags = 0;
            long tc = -1;
            for (const Group& x : o.groups) {
                if (x.code == 2)
                    name = trimmed(x.value);
                else if (x.code == 62)
                    colour = static_cast<int>(integer(x.value));
                else if (x.code == 70)
                    flags = static_cast<int>(integer(x.value));
                else if (x.code == 420)
                    tc = integer(x.value) & 0xFFFFFF;
            }
            if (name.empty()) continue; // the table's own head
            Layer& l = layers[static_cast<std::size_t>(layerIndex(name))];
            l.off = colour < 0;
            l.colour = std::clamp(std::abs(colour), 1, 255);
            l.trueColour = tc;
            l.frozen = (flags & 1) != 0;
        }
        return error.empty();
    }

    bool Reader::blockSection(std::string& error)
    {
        Object o;
        while (nextObject(o, error)) {
            if (o.type == "ENDSEC") return true;
            if (o.type == "EOF") {
                unread(std::move(o));
                return true;
            }
            if (o.type != "BLOCK") continue;
            std::string name;
            Block b;
            for (const Group& x : o.groups) {
                if (x.code == 2 || (x.code == 3 && name.empty()))
                    name = std::string(x.value);
                else if (x.code == 10)
                    b.base.x = number(x.value);
                else if (x.code == 20)
                    b.base.y = number(x.value);
                else if (x.code == 30)
                    b.base.z = number(x.value);
            }
            if (!readEntities(b.entities, "ENDBLK", error)) return false;
            blocks[upper(name)] = std::move(b);
        }
        return error.empty();
    }

    // Reads entities up to the marker (ENDSEC, ENDBLK), which is consumed; a
    // section's or the file's end met first is left for the caller.
    // POLYLINE gathers its VERTEX entities and an INSERT its ATTRIBs.
    bool Reader::readEntities(std::vector<Entity>& into, std::string_view endMarker, std::string& error)
    {
        Object o;
        while (nextObject(o, error)) {
            if (o.type == endMarker) return true;
            if (o.type == "ENDSEC" || o.type == "EOF") {
                unread(std::move(o));
                return true;
            }
            if (o.type == "POLYLINE") {
                // Each vertex starts with a marker group the interpreter splits on.
                std::vector<Group> all = std::move(o.groups);
                const bool ok = children(
                    "VERTEX",
                    [&](Object& v) {
                        all.push_back({ 0, "VERTEX" });
                        all.insert(all.end(), v.groups.begin(), v.groups.end());
                        if (all.size() > 4 * options_.limits.maxPoints + 1024)
                            return fail(error, "a polyline of too many vertices");
                        return true;
                    },
                    error);
                if (!ok || !entity("POLYLINE", all, into, error)) return false;
                continue;
            }
            if (!entity(o.type, o.groups, into, error)) return false;
            if (o.type == "INSERT") {
                // Attributes follow as entities of their own.
                const bool attributes = !into.empty() && into.back().kind == Kind::Insert;
                const bool ok = children(
                    "ATTRIB",
                    [&](Object& a) {
                        return !attributes || entity("ATTRIB", a.groups, into.back().children, error);
                    },
                    error);
                if (!ok) return false;
            }
        }
        return error.empty();
    }

    void readCommon(Entity& e, const Group& x, const std::function<int(std::string_view)>& layerIndex)
    {
        switch (x.code) {
        case 8:
            e.layer = layerIndex(x.value);
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

    bool Reader::entity(
        std::string_view type, const std::vector<Group>& gs, std::vector<Entity>& into, std::string& error)
    {
        Entity e;
        auto li = [this](std::string_view n) { return layerIndex(n); };
        auto common = [&](const Group& x) { readCommon(e, x, li); };
        auto pointAt = [&](std::size_t k) -> Vec3& {
            if (e.pts.size() <= k) e.pts.resize(k + 1);
            return e.pts[k];
        };
        if (type == "LINE" || type == "POINT" || type == "CIRCLE" || type == "ARC" || type == "SOLID"
            || type == "TRACE" || type == "3DFACE" || type == "ELLIPSE") {
            e.kind = type == "LINE" ? Kind::Line
                : type == "POINT"   ? Kind::Point
                : type == "CIRCLE"  ? Kind::Circle
                : type == "ARC"     ? Kind::Arc
                : type == "ELLIPSE" ? Kind::Ellipse
                : type == "3DFACE"  ? Kind::Face
                                    : Kind::Solid;
            e.ocs = !(e.kind == Kind::Line || e.kind == Kind::Point || e.kind == Kind::Face
                || e.kind == Kind::Ellipse);
            bool has13 = false;
            if (e.kind == Kind::Ellipse) e.a1 = 2 * PI;
            for (const Group& x : gs) {
                common(x);
                if (x.code >= 10 && x.code <= 33) {
                    const std::size_t k = static_cast<std::size_t>(x.code % 10);
                    if (k <= 3) setCoord(pointAt(k), x.code, x.value);
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
                    pointAt(3) = third;
                }
            }
            if (e.kind == Kind::Line && e.pts.size() < 2) {
                const Vec3 start = e.pts[0];
                pointAt(1) = start;
            }
            if (e.kind == Kind::Ellipse && e.pts.size() < 2) pointAt(1) = { 1, 0, 0 };
            if (e.kind == Kind::Ellipse && e.r == 0) e.ratio = 1;
        } else if (type == "LWPOLYLINE") {
            e.kind = Kind::Polyline;
            double elevation = 0;
            for (const Group& x : gs) {
                common(x);
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
        } else if (type == "POLYLINE") {
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
                    common(x);
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
                warnOnce("mesh", name_ + ": polygon and polyface meshes are drawn as their vertices' path");
        } else if (type == "SPLINE") {
            e.kind = Kind::Spline;
            e.ocs = false;
            for (const Group& x : gs) {
                common(x);
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
        } else if (type == "HATCH") {
            e.kind = Kind::Hatch;
            // Boundary data comes in order: path count (91), then for each path
            // its type (92) and edges; the codes 10/20 mean different things in
            // each place, so this walks the groups as a sequence.
            std::size_t i = 0;
            auto at = [&](int code) { return i < gs.size() && gs[i].code == code; };
            int style = 0;
            for (; i < gs.size(); ++i) {
                const Group& x = gs[i];
                common(x);
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
                    common(x);
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
        } else if (type == "INSERT" || type == "DIMENSION") {
            e.kind = type == "INSERT" ? Kind::Insert : Kind::Dimension;
            for (const Group& x : gs) {
                common(x);
                if (x.code == 2)
                    e.block = upper(std::string(x.value));
                else if (e.kind == Kind::Insert) {
                    if (x.code >= 10 && x.code <= 30 && x.code % 10 == 0)
                        setCoord(pointAt(0), x.code, x.value);
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
        } else if (type == "TEXT" || type == "ATTRIB" || type == "ATTDEF") {
            if (type == "ATTDEF") return true; // definitions show only in the block editor
            e.kind = Kind::Text;
            e.pts.resize(2);
            for (const Group& x : gs) {
                common(x);
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
                    return true; // invisible
            }
        } else if (type == "MTEXT") {
            e.kind = Kind::MText;
            e.ocs = false;
            e.pts.resize(2);
            std::string head, tail;
            bool hasDir = false;
            for (const Group& x : gs) {
                common(x);
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
        } else if (type == "VIEWPORT" || type == "ATTDEF" || type == "SEQEND" || type == "VERTEX") {
            return true;
        } else {
            warnOnce(
                "type:" + std::string(type), name_ + ": " + std::string(type) + " entities are not drawn");
            return true;
        }
        std::size_t pts = e.pts.size() + e.fit.size();
        for (const auto& p : e.paths) {
            pts += p.size();
            for (const auto& h : p)
                pts += h.control.size();
        }
        if (!count(pts, error)) return false;
        into.push_back(std::move(e));
        return true;
    }

    // ---------------------------------------------------------------- drawing

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

    // Points along a spline (with the start), within tolerance in its own
    // units; false when its data do not describe one.
    bool flattenSpline(int degree, std::vector<double> knots, const std::vector<Vec3>& ctrl,
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

    // Bulge: the tangent of a quarter of the arc's angle, positive counter-
    // clockwise, between consecutive polyline vertices.
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

    class DxfSource : public Source {
    public:
        DxfSource(Reader&& r, const Options& options, std::string name)
            : layers_(std::move(r.layers))
            , blocks_(std::move(r.blocks))
            , entities_(std::move(r.entities))
            , warnings_(std::move(r.warnings))
            , options_(options)
            , name_(std::move(name))
        {
        }

        Extents extents() const override { return extents_; }
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
            if (st.patterns) out.warnings.push_back(name_ + ": hatch patterns are drawn as their boundaries");
            return true;
        }

    private:
        struct Context {
            Xf xf;
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

        bool emit(State& st, Shape&& s) const
        {
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
            auto stroke = [&](std::vector<Vec2> pts, double z, bool closed) {
                Shape s;
                s.colour = static_cast<std::uint8_t>(colour);
                s.rings.push_back(mapRing(pts, z, xf, closed));
                return emit(st, std::move(s));
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
                return emit(st, std::move(s));
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
                return emit(st, std::move(s));
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
                    return emit(st, std::move(s));
                }
                std::vector<Vec2> pts { flat(e.pts[0]) };
                const std::size_t n = e.pts.size();
                for (std::size_t i = 0; i + 1 < n || (e.closed && i < n && n > 1); ++i)
                    appendBulge(pts, flat(e.pts[i]), flat(e.pts[(i + 1) % n]), e.bulges[i], tol, maxSeg);
                if (e.closed && pts.size() > 1) pts.pop_back();
                return stroke(pts, e.pts[0].z, e.closed);
            }
            case Kind::Spline: {
                std::vector<Vec3> out;
                if (!flattenSpline(e.degree, e.knots, e.pts, e.weights, tol, maxSeg, out)) {
                    out = e.fit.empty() ? e.pts : e.fit;
                }
                std::vector<Vec2> pts;
                for (Vec3 p : out)
                    pts.push_back(flat(xf.apply(p)));
                Shape s;
                s.colour = static_cast<std::uint8_t>(colour);
                s.rings.push_back({ pts, false });
                return emit(st, std::move(s));
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
                    if (!emit(st, std::move(s))) return false;
                }
                return true;
            }
            case Kind::Hatch:
                return drawHatch(e, xf, colour, tol, st);
            case Kind::Text:
            case Kind::MText:
                return drawText(e, xf, colour, st);
            default:
                return true;
            }
        }

        bool drawHatch(const Entity& e, const Xf& xf, int colour, double tol, State& st) const
        {
            const std::size_t maxSeg = options_.limits.maxSegmentsPerCurve;
            Shape s;
            s.colour = static_cast<std::uint8_t>(colour);
            s.filled = e.solid;
            s.fillRule = FillRule::EvenOdd;
            for (const auto& path : e.paths) {
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
                        if (flattenSpline(h.degree, h.knots, h.control, h.weights, tol, maxSeg, out))
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
            }
            if (s.rings.empty()) return true;
            if (!e.solid) st.patterns = true;
            return emit(st, std::move(s));
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
            std::vector<std::string> lines;
            double rotation = e.rotation;
            Vec3 anchor = e.pts[0];
            double xScale = h * (e.width > 0 ? e.width : 1), yScale = h;
            double dx = 0, dy = 0;
            if (e.kind == Kind::Text) {
                lines.push_back(textCodes(e.text));
                const double w = font_->advance(lines[0]) * xScale;
                if (e.hjust != 0 || e.vjust != 0) {
                    // Justified text hangs from its second point (the first when
                    // a writer left the second out).
                    if (e.hasAlign) anchor = e.pts[1];
                    if ((e.hjust == 3 || e.hjust == 5) && e.hasAlign) {
                        // Aligned and fit: the text runs from the first point to the second.
                        anchor = e.pts[0];
                        const double span = std::hypot(e.pts[1].x - e.pts[0].x, e.pts[1].y - e.pts[0].y);
                        rotation = std::atan2(e.pts[1].y - e.pts[0].y, e.pts[1].x - e.pts[0].x);
                        const double base = font_->advance(lines[0]) * h;
                        if (base > 0) {
                            xScale = span / font_->advance(lines[0]);
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
                lines = mtextLines(e.text);
                if (e.hasAlign) rotation = std::atan2(e.pts[1].y, e.pts[1].x);
                xScale = yScale = h;
            }
            const double lineStep = h * 5 / 3 * (e.spacing > 0 ? e.spacing : 1);
            double blockW = 0;
            for (const auto& l : lines)
                blockW = std::max(blockW, font_->advance(l) * xScale);
            const int attach = e.kind == Kind::MText ? std::clamp(e.flags, 1, 9) : 7;
            const double totalH = h + lineStep * static_cast<double>(lines.size() - 1);
            const Xf place = Xf::translate(anchor).then(Xf::rotateZ(rotation));
            const double shear = std::tan(std::clamp(e.oblique, -1.4, 1.4));
            const bool backward = e.kind == Kind::Text && (e.flags & 2);
            const bool upside = e.kind == Kind::Text && (e.flags & 4);
            Shape s;
            s.colour = static_cast<std::uint8_t>(colour);
            for (std::size_t li = 0; li < lines.size(); ++li) {
                std::vector<Ring> strokes;
                const double w = font_->layout(lines[li], strokes) * xScale;
                double ox = dx, oy = dy;
                if (e.kind == Kind::MText) {
                    const int col = (attach - 1) % 3, row = (attach - 1) / 3;
                    ox = col == 0 ? 0 : col == 1 ? -w / 2 : -w;
                    const double top = row == 0 ? 0 : row == 1 ? totalH / 2 : totalH;
                    oy = top - h - lineStep * static_cast<double>(li);
                }
                for (Ring& r : strokes) {
                    std::vector<Vec2> pts;
                    for (Vec2 p : r.points) {
                        double x = p.x * xScale + p.y * yScale * shear + ox, y = p.y * yScale + oy;
                        if (backward) x = -x;
                        if (upside) y = -y;
                        pts.push_back(flat(xf.apply(place.apply({ x, y, 0 }))));
                    }
                    s.rings.push_back({ pts, false });
                }
            }
            return emit(st, std::move(s));
        }

        // TEXT control codes: %%d degree, %%p plus-minus, %%c diameter, %%%
        // percent; under- and overline toggles are dropped.
        static std::string textCodes(const std::string& t)
        {
            std::string out;
            for (std::size_t i = 0; i < t.size(); ++i) {
                if (t[i] == '%' && i + 2 < t.size() && t[i + 1] == '%') {
                    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(t[i + 2])));
                    if (c == 'd')
                        out += "\xC2\xB0";
                    else if (c == 'p')
                        out += "\xC2\xB1";
                    else if (c == 'c')
                        out += "\xC3\x98";
                    else if (c == '%')
                        out += '%';
                    else if (c != 'u' && c != 'o' && c != 'k')
                        out += t.substr(i, 3);
                    i += 2;
                    continue;
                }
                out += t[i];
            }
            return out;
        }

        // MTEXT's inline formatting reduced to its plain text, split at \P.
        static std::vector<std::string> mtextLines(const std::string& t)
        {
            std::vector<std::string> lines(1);
            for (std::size_t i = 0; i < t.size(); ++i) {
                const char c = t[i];
                if (c == '{' || c == '}') continue;
                if (c != '\\' || i + 1 >= t.size()) {
                    lines.back() += c;
                    continue;
                }
                const char k = t[++i];
                switch (k) {
                case 'P':
                    lines.emplace_back();
                    break;
                case '~':
                    lines.back() += ' ';
                    break;
                case '\\':
                case '{':
                case '}':
                    lines.back() += k;
                    break;
                case 'S': {
                    // Stacked fractions a^b, a/b, a#b are drawn inline as a/b.
                    const std::size_t end = t.find(';', i);
                    std::string frac
                        = t.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
                    for (char& ch : frac)
                        if (ch == '^' || ch == '#') ch = '/';
                    lines.back() += frac;
                    i = end == std::string::npos ? t.size() : end;
                    break;
                }
                case 'L':
                case 'l':
                case 'O':
                case 'o':
                case 'K':
                case 'k':
                    break;
                default: {
                    // \f...; \H...; \C...; and the like carry an argument up to ';'.
                    const std::size_t end = t.find(';', i);
                    i = end == std::string::npos ? t.size() : end;
                    break;
                }
                }
            }
            return lines;
        }

        std::vector<Layer> layers_;
        std::map<std::string, Block> blocks_;
        std::vector<Entity> entities_;
        std::vector<std::string> warnings_;
        Options options_;
        std::string name_;
        Extents extents_;
        std::shared_ptr<const StrokeFont> font_;
        std::string fontError_;
    };

} // namespace

OpenResult readDxf(std::string_view bytes, const std::string& name, const Options& options)
{
    OpenResult result;
    auto fail = [&](const std::string& why) {
        result.error = name + ": " + why;
        return std::move(result);
    };
    if (bytes.substr(0, 18) == "AutoCAD Binary DXF")
        return fail("a binary DXF file; export the drawing as ASCII DXF");
    if (bytes.size() >= 6 && bytes.substr(0, 2) == "AC" && std::isdigit(static_cast<unsigned char>(bytes[2]))
        && std::isdigit(static_cast<unsigned char>(bytes[3])))
        return fail("a DWG drawing, not DXF; export the drawing as ASCII DXF");
    if (bytes.find('\0') != std::string_view::npos)
        return fail("not a text file; export the drawing as ASCII DXF");
    if (bytes.size() > options.limits.maxFileBytes)
        return fail("larger than " + std::to_string(options.limits.maxFileBytes) + " bytes");
    Reader reader(bytes, name, options);
    std::string error;
    if (!reader.run(error)) return fail(error);
    if (reader.entities.empty() && reader.blocks.empty() && reader.layers.size() <= 1)
        return fail("no DXF sections found; is it a DXF file?");
    auto source = std::make_unique<DxfSource>(std::move(reader), options, name);
    if (!source->prepare(error)) return fail(error);
    result.source = std::move(source);
    return result;
}

OpenResult openDxf(const std::string& path, const Options& options)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return { nullptr, path + ": cannot open the file" };
    std::string bytes;
    const std::uint64_t cap = options.limits.maxFileBytes + 1;
    char buf[1 << 16];
    while (in && bytes.size() < cap) {
        in.read(buf, sizeof buf);
        bytes.append(buf, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) return { nullptr, path + ": cannot read the file" };
    return readDxf(bytes, path, options);
}

} // namespace qorvan::import
