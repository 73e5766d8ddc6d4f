#include "import/dxf_reader.h"

#include <cmath>
#include <functional>
#include <set>

#include "import/codepage.h"
#include "import/dxf_entities.h"
#include "import/dxf_groups.h"

namespace qorvan::import::dxf {

namespace {

    class Reader : public EntityContext {
    public:
        Reader(std::string_view text, const std::string& name, const Options& options, Model& model)
            : layers(model.layers)
            , blocks(model.blocks)
            , entities(model.entities)
            , warnings(model.warnings)
            , model_(model)
            , groups_(text)
            , name_(name)
            , options_(options)
        {
            layerIndex("0");
        }

        bool run(std::string& error);

        std::vector<Layer>& layers;
        std::map<std::string, Block>& blocks;
        std::vector<Entity>& entities;
        std::vector<std::string>& warnings;

        int layerIndex(std::string_view name) override
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
        void warnOnce(const std::string& key, const std::string& text) override
        {
            if (warned_.insert(key).second) warnings.push_back(text);
        }
        const std::string& fileName() const override { return name_; }
        std::string text(std::string_view raw) const override
        {
            // Versions from 2007 on write UTF-8, older ones the code page's
            // bytes; some older writers wrote UTF-8 anyway. Text that reads
            // as UTF-8 is taken as such: text in an 8-bit page seldom does.
            if (isUtf8(raw)) return std::string(raw);
            const int page = codepageNumber(model_.header.codepage);
            return decodeCodepage(raw, page ? page : 1252);
        }

    private:
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
        void header(const std::vector<Group>& gs);
        void linetype(const std::vector<Group>& gs);
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

        Model& model_;
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
            ++model_.sections;
            std::string section;
            for (const Group& x : o.groups)
                if (x.code == 2) {
                    section = upper(trimmed(x.value));
                    break;
                }
            bool ok = true;
            if (section == "HEADER")
                header(o.groups);
            else if (section == "TABLES")
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
            if (o.type == "LTYPE") {
                linetype(o.groups);
                continue;
            }
            if (o.type != "LAYER") continue;
            std::string name, ltype;
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
                else if (x.code == 6)
                    ltype = upper(trimmed(x.value));
            }
            if (name.empty()) continue; // the table's own head
            Layer& l = layers[static_cast<std::size_t>(layerIndex(name))];
            l.off = colour < 0;
            l.colour = std::clamp(std::abs(colour), 1, 255);
            l.trueColour = tc;
            l.frozen = (flags & 1) != 0;
            l.linetype = ltype;
        }
        return error.empty();
    }

    // The header section holds no 0 groups: its variables (9, then the
    // value's groups) come as the groups of the SECTION object itself.
    void Reader::header(const std::vector<Group>& gs)
    {
        std::string name;
        double dimasz = -1;
        Vec2 low, high;
        int given = 0; // one bit per limit coordinate read
        for (const Group& x : gs) {
            if (x.code == 9) {
                name = upper(trimmed(x.value));
                continue;
            }
            if ((name == "$LIMMIN" || name == "$LIMMAX") && (x.code == 10 || x.code == 20)) {
                Vec2& at = name == "$LIMMIN" ? low : high;
                (x.code == 10 ? at.x : at.y) = number(x.value);
                given |= 1 << ((name == "$LIMMAX" ? 2 : 0) + (x.code == 20));
            } else if (name == "$LTSCALE" && x.code == 40)
                model_.header.ltscale = number(x.value) > 0 ? number(x.value) : 1;
            else if (name == "$DIMASZ" && x.code == 40)
                dimasz = number(x.value);
            else if (name == "$DIMSCALE" && x.code == 40)
                model_.header.dimScale = number(x.value) > 0 ? number(x.value) : 1;
            else if (name == "$DWGCODEPAGE" && x.code == 3)
                model_.header.codepage = upper(trimmed(x.value));
        }
        if (dimasz >= 0) model_.header.arrowSize = dimasz;
        model_.header.arrowSize *= model_.header.dimScale;
        if (given == 15 && std::isfinite(low.x) && std::isfinite(low.y) && std::isfinite(high.x)
            && std::isfinite(high.y) && high.x > low.x && high.y > low.y) {
            model_.limits.add(low);
            model_.limits.add(high);
        }
    }

    // A linetype's simple dashes; shapes and text inside a complex linetype
    // leave a gap of their length, as their element's length says.
    void Reader::linetype(const std::vector<Group>& gs)
    {
        std::string name;
        Linetype lt;
        for (const Group& x : gs) {
            if (x.code == 2)
                name = upper(trimmed(x.value));
            else if (x.code == 49 && lt.dashes.size() < 64)
                lt.dashes.push_back(number(x.value));
        }
        if (!name.empty()) model_.linetypes[name] = std::move(lt);
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

    bool Reader::entity(
        std::string_view type, const std::vector<Group>& gs, std::vector<Entity>& into, std::string& error)
    {
        const EntityParser parse = entityParser(type);
        if (!parse) {
            warnOnce(
                "type:" + std::string(type), name_ + ": " + std::string(type) + " entities are not drawn");
            return true;
        }
        Entity e;
        if (!parse(type, gs, e, *this) || e.invisible) return true;
        std::size_t pts = e.pts.size() + e.fit.size();
        for (const Entity& c : e.children)
            pts += c.pts.size();
        for (const auto& p : e.paths) {
            pts += p.size();
            for (const auto& h : p)
                pts += h.control.size();
        }
        if (!count(pts, error)) return false;
        into.push_back(std::move(e));
        return true;
    }

} // namespace

bool readModel(
    std::string_view text, const std::string& name, const Options& options, Model& model, std::string& error)
{
    Reader reader(text, name, options, model);
    return reader.run(error);
}

} // namespace qorvan::import::dxf
