#include "slide/records.h"

#include <algorithm>

#include "slide/format.h"

namespace qorvan::slide {

const char* recordKindName(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Vector:
        return "vector";
    case RecordKind::Skipped:
        return "skipped";
    case RecordKind::OffsetVector:
        return "offset vector";
    case RecordKind::End:
        return "end";
    case RecordKind::SolidFill:
        return "solid fill";
    case RecordKind::CommonEndpoint:
        return "common-endpoint vector";
    case RecordKind::Colour:
        return "colour";
    }
    return "?";
}

bool RecordReader::stop(bool cut, std::size_t at)
{
    done_ = true;
    walk_.cutShort = cut;
    walk_.stopOffset = at;
    return false;
}

bool RecordReader::next(SlideRecord& r)
{
    if (done_) return false;
    std::uint8_t b[6];
    const std::size_t got = stream_.read(b, 2);
    if (got < 2) return stop(got == 1, pos_);
    r = SlideRecord {};
    r.offset = pos_;
    r.word = platform::getU16(b, order_);
    const auto hi = static_cast<std::uint8_t>(r.word >> 8);
    const auto lo = static_cast<std::uint8_t>(r.word & 0xFF);
    if (hi <= REC_VECTOR_LAST) {
        if (stream_.read(b, 6) != 6) return stop(true, pos_);
        r.kind = RecordKind::Vector;
        r.length = 8;
        r.from = { r.word, platform::getU16(b, order_) };
        r.to = { platform::getU16(b + 2, order_), platform::getU16(b + 4, order_) };
    } else if (hi == REC_OFFSET_VECTOR) {
        if (stream_.read(b, 3) != 3) return stop(true, pos_);
        r.kind = RecordKind::OffsetVector;
        r.length = 5;
        r.delta[0] = static_cast<std::int8_t>(lo);
        for (int i = 0; i < 3; ++i)
            r.delta[i + 1] = static_cast<std::int8_t>(b[i]);
        r.from = { last_.x + r.delta[0], last_.y + r.delta[1] };
        r.to = { last_.x + r.delta[2], last_.y + r.delta[3] };
    } else if (hi == REC_END) {
        r.kind = RecordKind::End;
        r.length = 2;
    } else if (hi == REC_SOLID_FILL) {
        if (stream_.read(b, 4) != 4) return stop(true, pos_);
        const std::size_t n = platform::getU16(b, order_);
        r.fillSpare = platform::getU16(b + 2, order_);
        // Grown only as vertices arrive: a fill that claims 65535 vertices
        // and stops costs nothing.
        vertices_.clear();
        spares_.clear();
        // A few dozen vertices a read rather than one: a fill's vertices are
        // most of a large slide's bytes.
        constexpr std::size_t CHUNK = 64;
        std::uint8_t chunk[6 * CHUNK];
        for (std::size_t left = n; left > 0;) {
            const std::size_t want = std::min(left, CHUNK);
            if (stream_.read(chunk, 6 * want) != 6 * want) return stop(true, pos_);
            for (const std::uint8_t* v = chunk; v < chunk + 6 * want; v += 6) {
                spares_.push_back(platform::getU16(v, order_));
                vertices_.push_back({ platform::getU16(v + 2, order_), platform::getU16(v + 4, order_) });
            }
            left -= want;
        }
        r.kind = RecordKind::SolidFill;
        r.length = 6 + 6 * n;
        r.vertices = &vertices_;
        r.vertexSpares = &spares_;
    } else if (hi == REC_COMMON_ENDPOINT) {
        if (stream_.read(b, 1) != 1) return stop(true, pos_);
        r.kind = RecordKind::CommonEndpoint;
        r.length = 3;
        r.delta[0] = static_cast<std::int8_t>(lo);
        r.delta[1] = static_cast<std::int8_t>(b[0]);
        r.from = { last_.x + r.delta[0], last_.y + r.delta[1] };
        r.to = last_;
    } else if (hi == REC_COLOR) {
        r.kind = RecordKind::Colour;
        r.length = 2;
        r.colour = lo;
    } else {
        r.kind = RecordKind::Skipped;
        r.length = 2;
    }
    if (r.kind == RecordKind::Vector || r.kind == RecordKind::OffsetVector
        || r.kind == RecordKind::CommonEndpoint)
        last_ = { clampFrom(r.from.x), clampFrom(r.from.y) };
    pos_ += r.length;
    ++walk_.records;
    if (r.kind == RecordKind::End) {
        done_ = true;
        walk_.endRecord = true;
        walk_.stopOffset = pos_;
    }
    return true;
}

bool leavesArea(const SlideRecord& r, std::int32_t xd, std::int32_t yd)
{
    auto lineOut
        = [&](std::int32_t x, std::int32_t y) { return x < -1 || y < -1 || x > xd + 1 || y > yd + 1; };
    switch (r.kind) {
    case RecordKind::Vector:
    case RecordKind::OffsetVector:
    case RecordKind::CommonEndpoint:
        return lineOut(clampFrom(r.from.x), clampFrom(r.from.y))
            || lineOut(foldTo(r.to.x, xd), foldTo(r.to.y, yd));
    case RecordKind::SolidFill:
        for (Point v : *r.vertices) {
            const std::int32_t x = foldVertex(v.x, xd), y = foldVertex(v.y, yd);
            if (x < 0 || y < 0 || x > xd || y > yd) return true;
        }
        return false;
    default:
        return false;
    }
}

RecordWalk walkRecords(const std::uint8_t* data, std::size_t size, std::size_t start, ByteOrder order,
    const std::function<void(const SlideRecord&)>& visit)
{
    MemoryStream stream(data, size);
    if (start > size) start = size;
    stream.seek(static_cast<std::int64_t>(start));
    RecordReader reader(stream, order, { 0, 0 }, start);
    SlideRecord r;
    while (reader.next(r))
        visit(r);
    return reader.walk();
}

void encodeRecord(const SlideRecord& r, ByteOrder order, std::vector<std::uint8_t>& out)
{
    auto word = [&](std::int32_t v) { platform::appendU16(out, static_cast<std::uint16_t>(v), order); };
    auto byte = [&](std::int8_t v) { out.push_back(static_cast<std::uint8_t>(v)); };
    auto typed = [&](std::uint8_t type, std::uint8_t low) { word((type << 8) | low); };
    const auto low = static_cast<std::uint8_t>(r.word & 0xFF);
    switch (r.kind) {
    case RecordKind::Vector:
        word(r.from.x), word(r.from.y), word(r.to.x), word(r.to.y);
        break;
    case RecordKind::OffsetVector:
        typed(REC_OFFSET_VECTOR, static_cast<std::uint8_t>(r.delta[0]));
        for (int i = 1; i < 4; ++i)
            byte(r.delta[i]);
        break;
    case RecordKind::CommonEndpoint:
        typed(REC_COMMON_ENDPOINT, static_cast<std::uint8_t>(r.delta[0]));
        byte(r.delta[1]);
        break;
    case RecordKind::End:
        typed(REC_END, low);
        break;
    case RecordKind::Colour:
        typed(REC_COLOR, r.colour);
        break;
    case RecordKind::Skipped:
        word(r.word);
        break;
    case RecordKind::SolidFill: {
        const std::size_t n = r.vertices ? r.vertices->size() : 0;
        typed(REC_SOLID_FILL, low);
        word(static_cast<std::int32_t>(n));
        word(r.fillSpare);
        for (std::size_t i = 0; i < n; ++i) {
            word(r.vertexSpares && i < r.vertexSpares->size() ? (*r.vertexSpares)[i] : 0);
            word((*r.vertices)[i].x);
            word((*r.vertices)[i].y);
        }
        break;
    }
    }
}

void encodeFill(const std::vector<Point>& vertices, std::uint16_t startMark, std::vector<std::uint8_t>& out)
{
    const std::vector<std::uint16_t> spares(vertices.size(), FILL_VERTEX_WORD);
    const std::vector<Point> none;
    SlideRecord r;
    r.kind = RecordKind::SolidFill;
    r.vertices = &vertices;
    r.vertexSpares = &spares;
    r.fillSpare = startMark;
    encodeRecord(r, ByteOrder::Little, out);
    r.vertices = &none;
    r.fillSpare = FILL_CLOSE_MARK;
    encodeRecord(r, ByteOrder::Little, out);
}

} // namespace qorvan::slide
