#include "slide/records.h"

#include "slide/format.h"

namespace qorvan::slide {

const char* recordKindName(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Vector: return "vector";
    case RecordKind::Skipped: return "skipped";
    case RecordKind::OffsetVector: return "offset vector";
    case RecordKind::End: return "end";
    case RecordKind::SolidFill: return "solid fill";
    case RecordKind::CommonEndpoint: return "common-endpoint vector";
    case RecordKind::Colour: return "colour";
    }
    return "?";
}

namespace {

std::int32_t sbyte(std::uint8_t b) { return static_cast<std::int8_t>(b); }

// The renderer's from-point clamp: only values below -1 move.
std::int32_t clampFrom(std::int32_t v) { return v < -1 ? 0 : v; }

} // namespace

RecordWalk walkRecords(const std::uint8_t* data, std::size_t size, std::size_t start, ByteOrder order,
                       const std::function<void(const SlideRecord&)>& visit)
{
    RecordWalk walk;
    Point last{0, 0};
    std::vector<Point> vertices;
    std::size_t pos = start;
    auto cut = [&](std::size_t at) {
        walk.cutShort = true;
        walk.stopOffset = at;
        return walk;
    };
    while (pos + 2 <= size) {
        SlideRecord r;
        r.offset = pos;
        r.word = readWord(data + pos, order);
        const std::uint8_t hi = static_cast<std::uint8_t>(r.word >> 8);
        const std::uint8_t lo = static_cast<std::uint8_t>(r.word & 0xFF);
        const std::uint8_t* p = data + pos + 2;
        const std::size_t left = size - pos - 2;
        if (hi <= REC_VECTOR_LAST) {
            if (left < 6) return cut(pos);
            r.kind = RecordKind::Vector;
            r.length = 8;
            r.from = {r.word, readWord(p, order)};
            r.to = {readWord(p + 2, order), readWord(p + 4, order)};
            last = {clampFrom(r.from.x), clampFrom(r.from.y)};
        } else if (hi == REC_OFFSET_VECTOR) {
            if (left < 3) return cut(pos);
            r.kind = RecordKind::OffsetVector;
            r.length = 5;
            r.from = {last.x + sbyte(lo), last.y + sbyte(p[0])};
            r.to = {last.x + sbyte(p[1]), last.y + sbyte(p[2])};
            last = {clampFrom(r.from.x), clampFrom(r.from.y)};
        } else if (hi == REC_END) {
            r.kind = RecordKind::End;
            r.length = 2;
        } else if (hi == REC_SOLID_FILL) {
            if (left < 4) return cut(pos);
            const std::size_t n = readWord(p, order);
            if (left < 4 + 6 * n) return cut(pos);
            r.kind = RecordKind::SolidFill;
            r.length = 6 + 6 * n;
            vertices.clear();
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint8_t* v = p + 4 + 6 * i;
                vertices.push_back({readWord(v + 2, order), readWord(v + 4, order)});
            }
            r.vertices = &vertices;
        } else if (hi == REC_COMMON_ENDPOINT) {
            if (left < 1) return cut(pos);
            r.kind = RecordKind::CommonEndpoint;
            r.length = 3;
            r.from = {last.x + sbyte(lo), last.y + sbyte(p[0])};
            r.to = last;
            last = {clampFrom(r.from.x), clampFrom(r.from.y)};
        } else if (hi == REC_COLOR) {
            r.kind = RecordKind::Colour;
            r.length = 2;
            r.colour = lo;
        } else {
            r.kind = RecordKind::Skipped;
            r.length = 2;
        }
        ++walk.records;
        visit(r);
        pos += r.length;
        if (r.kind == RecordKind::End) {
            walk.endRecord = true;
            walk.stopOffset = pos;
            return walk;
        }
    }
    if (pos < size) return cut(pos);
    walk.stopOffset = pos;
    return walk;
}

} // namespace qorvan::slide
