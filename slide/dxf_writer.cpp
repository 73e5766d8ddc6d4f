#include "slide/dxf_writer.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <charconv>
#include <vector>

#include "slide/format.h"
#include "slide/records.h"
#include "slide/writer.h"

namespace qorvan::slide {

namespace {

    constexpr std::uint8_t FOREGROUND_COLOUR = 7; // what a slide draws in before its first colour record
    constexpr std::uint8_t BACKGROUND_COLOUR = 0;
    // A SOLID holds at most four corners.
    constexpr std::size_t SOLID_CORNERS = 4;

    // What the renderer draws, record by record: each line with its points
    // clamped and folded as the renderer does it, each fill's corners folded.
    struct DrawnSlide {
        std::int32_t xDots = 0, yDots = 0;
        StatusCode header = Ok;
    };

    template <class OnLine, class OnFill>
    DrawnSlide walkDrawn(const std::uint8_t* bytes, std::size_t size, OnLine&& onLine, OnFill&& onFill)
    {
        MemoryStream stream(bytes, size);
        SlideHeader header;
        DrawnSlide d;
        d.header = readSlideHeader(stream, header);
        d.xDots = header.xDots();
        d.yDots = header.yDots();
        RecordReader reader(stream, ByteOrder::Little);
        SlideRecord rec;
        std::uint8_t colour = FOREGROUND_COLOUR;
        std::vector<Point> corners;
        while (reader.next(rec)) {
            switch (rec.kind) {
            case RecordKind::Vector:
            case RecordKind::OffsetVector:
            case RecordKind::CommonEndpoint:
                onLine(colour, Point { clampFrom(rec.from.x), clampFrom(rec.from.y) },
                    Point { foldTo(rec.to.x, d.xDots), foldTo(rec.to.y, d.yDots) });
                break;
            case RecordKind::SolidFill:
                // The renderer draws nothing of a polygon of fewer than two corners.
                if (rec.vertices->size() < 2) break;
                corners.clear();
                for (Point p : *rec.vertices)
                    corners.push_back({ foldVertex(p.x, d.xDots), foldVertex(p.y, d.yDots) });
                onFill(colour, corners);
                break;
            case RecordKind::Colour:
                colour = rec.colour;
                break;
            case RecordKind::End:
            case RecordKind::Skipped:
                break;
            }
        }
        return d;
    }

    // The DXF text, handed on in pieces.
    class Out {
    public:
        explicit Out(const DxfSink& sink)
            : sink_(sink)
        {
        }

        // One group: its code, then its value, each on a line of its own.
        void group(int code, std::string_view value)
        {
            number(code);
            text_ += value;
            text_ += "\r\n";
            if (text_.size() >= DXF_STREAM_PIECE) spill();
        }
        void group(int code, std::int32_t value)
        {
            char buf[16];
            auto r = std::to_chars(buf, buf + sizeof buf, value);
            group(code, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
        }
        void group(int code, double value)
        {
            if (value == 0) value = 0; // no "-0"
            char buf[32];
            auto r = std::to_chars(buf, buf + sizeof buf, value);
            group(code, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
        }
        // A point's x, y and z groups (10, 20, 30 for the first point).
        template <class P> void point(int code, P p)
        {
            group(code, p.x);
            group(code + 10, p.y);
            group(code + 20, std::int32_t { 0 });
        }

        bool finish()
        {
            spill();
            return ok_;
        }

    private:
        void number(int code)
        {
            char buf[16];
            auto r = std::to_chars(buf, buf + sizeof buf, code);
            text_.append(buf, r.ptr);
            text_ += "\r\n";
        }
        void spill()
        {
            if (ok_ && !text_.empty()) ok_ = sink_(text_.data(), text_.size());
            text_.clear();
        }
        const DxfSink& sink_;
        std::string text_;
        bool ok_ = true;
    };

    void headerVariable(Out& out, const char* name, PointF p)
    {
        out.group(9, std::string_view(name));
        out.point(10, p);
    }

    template <class P> void solid(Out& out, const std::string& layer, const std::array<P, SOLID_CORNERS>& c)
    {
        out.group(0, std::string_view("SOLID"));
        out.group(8, layer);
        // SOLID joins its third and fourth corners the other way round.
        out.point(10, c[0]);
        out.point(11, c[1]);
        out.point(12, c[3]);
        out.point(13, c[2]);
    }

    void line(Out& out, const std::string& layer, Point a, Point b)
    {
        out.group(0, std::string_view("LINE"));
        out.group(8, layer);
        out.point(10, a);
        out.point(11, b);
    }

    // A fill as SOLIDs that cover what the renderer fills. Cutting concave
    // fills spends `work`, the slide writer's bound; past it a fill is
    // written as its outline, as the slide writer outlines one.
    void fillSolids(Out& out, const std::string& layer, const std::vector<Point>& corners, std::size_t& work)
    {
        const std::size_t n = corners.size();
        std::vector<PointF> ring;
        for (Point p : corners)
            ring.push_back({ static_cast<double>(p.x), static_cast<double>(p.y) });
        if (n < SOLID_CORNERS || (n == SOLID_CORNERS && isConvexRing(ring))) {
            std::array<Point, SOLID_CORNERS> c;
            for (std::size_t i = 0; i < SOLID_CORNERS; ++i)
                c[i] = corners[std::min(i, n - 1)];
            solid(out, layer, c);
            return;
        }
        if (isConvexRing(ring)) {
            for (std::size_t i = 1; i + 1 < n; i += SOLID_CORNERS - 2) {
                const std::size_t last = std::min(i + 2, n - 1);
                solid(out, layer,
                    std::array<Point, SOLID_CORNERS> {
                        corners[0], corners[i], corners[i + 1], corners[last] });
            }
            return;
        }
        std::vector<Piece> pieces;
        if (!cutIntoTrapezoids({ &ring }, false, work, pieces)) {
            work = 0;
            for (std::size_t i = 0; i < n; ++i)
                line(out, layer, corners[i], corners[(i + 1) % n]);
            return;
        }
        for (const Piece& t : pieces)
            solid(out, layer, t);
    }

} // namespace

std::string dxfLayerName(std::uint8_t colour)
{
    static const char* const named[]
        = { "BLACK", "RED", "YELLOW", "GREEN", "CYAN", "BLUE", "MAGENTA", "WHITE" };
    if (colour <= FOREGROUND_COLOUR) return named[colour];
    return "COLOUR_" + std::to_string(colour);
}

DxfResult writeSlideDxf(const std::uint8_t* bytes, std::size_t size, const DxfSink& sink)
{
    // A first pass finds the layers the table must list and the extents the
    // header gives before any entity is written.
    std::bitset<256> used;
    bool any = false;
    PointF low, high;
    auto note = [&](Point p) {
        const PointF f { static_cast<double>(p.x), static_cast<double>(p.y) };
        if (!any) low = high = f, any = true;
        low = { std::min(low.x, f.x), std::min(low.y, f.y) };
        high = { std::max(high.x, f.x), std::max(high.y, f.y) };
    };
    const DrawnSlide d = walkDrawn(
        bytes, size,
        [&](std::uint8_t colour, Point a, Point b) {
            used.set(colour);
            note(a);
            note(b);
        },
        [&](std::uint8_t colour, const std::vector<Point>& corners) {
            used.set(colour);
            for (Point p : corners)
                note(p);
        });
    const PointF area { static_cast<double>(d.xDots), static_cast<double>(d.yDots) };
    if (!any) low = {}, high = area;

    Out out(sink);
    out.group(0, std::string_view("SECTION"));
    out.group(2, std::string_view("HEADER"));
    out.group(9, std::string_view("$ACADVER"));
    out.group(1, std::string_view("AC1009"));
    headerVariable(out, "$INSBASE", {});
    headerVariable(out, "$EXTMIN", low);
    headerVariable(out, "$EXTMAX", high);
    headerVariable(out, "$LIMMIN", {});
    headerVariable(out, "$LIMMAX", area);
    out.group(0, std::string_view("ENDSEC"));

    out.group(0, std::string_view("SECTION"));
    out.group(2, std::string_view("TABLES"));
    out.group(0, std::string_view("TABLE"));
    out.group(2, std::string_view("LTYPE"));
    out.group(70, std::int32_t { 1 });
    out.group(0, std::string_view("LTYPE"));
    out.group(2, std::string_view("CONTINUOUS"));
    out.group(70, std::int32_t { 0 });
    out.group(3, std::string_view("Solid line"));
    out.group(72, std::int32_t { 65 });
    out.group(73, std::int32_t { 0 });
    out.group(40, 0.0);
    out.group(0, std::string_view("ENDTAB"));
    out.group(0, std::string_view("TABLE"));
    out.group(2, std::string_view("LAYER"));
    out.group(70, static_cast<std::int32_t>(used.count() + 1));
    auto layer = [&](const std::string& name, std::int32_t colour) {
        out.group(0, std::string_view("LAYER"));
        out.group(2, name);
        out.group(70, std::int32_t { 0 });
        out.group(62, colour);
        out.group(6, std::string_view("CONTINUOUS"));
    };
    layer("0", FOREGROUND_COLOUR);
    for (int c = 0; c < 256; ++c) {
        if (!used.test(static_cast<std::size_t>(c))) continue;
        // A negative colour turns the layer off; colour 0 has no colour of its own.
        layer(dxfLayerName(static_cast<std::uint8_t>(c)), c == BACKGROUND_COLOUR ? -FOREGROUND_COLOUR : c);
    }
    out.group(0, std::string_view("ENDTAB"));
    out.group(0, std::string_view("ENDSEC"));

    out.group(0, std::string_view("SECTION"));
    out.group(2, std::string_view("ENTITIES"));
    std::array<std::string, 256> names;
    auto nameOf = [&](std::uint8_t colour) -> const std::string& {
        std::string& n = names[colour];
        if (n.empty()) n = dxfLayerName(colour);
        return n;
    };
    std::size_t work = MAX_FILL_CUT_WORK;
    walkDrawn(
        bytes, size, [&](std::uint8_t colour, Point a, Point b) { line(out, nameOf(colour), a, b); },
        [&](std::uint8_t colour, const std::vector<Point>& corners) {
            fillSolids(out, nameOf(colour), corners, work);
        });
    out.group(0, std::string_view("ENDSEC"));
    out.group(0, std::string_view("EOF"));

    DxfResult r;
    r.header = d.header;
    r.written = out.finish();
    return r;
}

} // namespace qorvan::slide
