#include "slide/byte_order.h"

#include <cmath>
#include <cstring>

#include "slide/format.h"

namespace qorvan::slide {

namespace {

// New-form slides store the display ratio as a 32-bit integer scaled by
// this; old-form slides store it as an 8-byte floating value.
constexpr double ASPECT_SCALE = 10000000.0;

std::int32_t signedWord(const std::uint8_t* p, ByteOrder order)
{
    return static_cast<std::int16_t>(readWord(p, order));
}

void putWord(std::vector<std::uint8_t>& out, std::uint16_t v, ByteOrder order)
{
    const auto lo = static_cast<std::uint8_t>(v & 0xFF), hi = static_cast<std::uint8_t>(v >> 8);
    if (order == ByteOrder::Little) {
        out.push_back(lo);
        out.push_back(hi);
    } else {
        out.push_back(hi);
        out.push_back(lo);
    }
}

// Multi-byte values other than words are stored whole in the machine's
// order, so a big-endian one is the little-endian one reversed.
void copyOrdered(const std::uint8_t* p, std::size_t n, ByteOrder order, std::uint8_t* little)
{
    for (std::size_t i = 0; i < n; ++i) little[i] = order == ByteOrder::Little ? p[i] : p[n - 1 - i];
}

// How sensible a reading is: a header with a usable extent and a known fill
// flag, then records that are known, stay near the extent and reach an end
// record. Only the difference between two readings matters.
long plausibility(const std::uint8_t* data, std::size_t size, ByteOrder order)
{
    HeaderFields h = readHeaderFields(data, size, order);
    if (!h.complete) return 0;
    long score = 0;
    if (h.xDots > 0) score += 4;
    if (h.yDots > 0) score += 4;
    if (h.fillFlag == 0 || h.fillFlag == 2) score += 4;
    const std::int32_t slackX = h.xDots / 8 + 2, slackY = h.yDots / 8 + 2;
    auto near = [&](Point p) {
        return p.x >= -slackX && p.x <= h.xDots + slackX && p.y >= -slackY && p.y <= h.yDots + slackY;
    };
    RecordWalk walk = walkRecords(data, size, h.headerSize, order, [&](const SlideRecord& r) {
        switch (r.kind) {
        case RecordKind::Vector:
        case RecordKind::OffsetVector:
        case RecordKind::CommonEndpoint: score += near(r.from) && near(r.to) ? 1 : -2; break;
        case RecordKind::SolidFill:
            for (Point v : *r.vertices) score += near(v) ? 0 : -1;
            break;
        case RecordKind::Skipped: score -= 3; break;
        default: break;
        }
    });
    if (walk.endRecord) score += 8;
    if (walk.cutShort) score -= 8;
    return score;
}

} // namespace

HeaderFields readHeaderFields(const std::uint8_t* data, std::size_t size, ByteOrder order)
{
    HeaderFields h;
    if (size <= LEVEL_OFFSET) return h;
    h.level = data[LEVEL_OFFSET];
    h.oldForm = h.level == OLD_FORM_LEVEL;
    h.headerSize = h.oldForm ? OLD_HEADER_SIZE : NEW_HEADER_SIZE;
    if (size < h.headerSize) return h;
    h.complete = true;
    h.xDots = signedWord(data + XDOTS_OFFSET, order);
    h.yDots = signedWord(data + YDOTS_OFFSET, order);
    if (h.oldForm) {
        h.fillFlag = readWord(data + OLD_FILL_FLAG_OFFSET, order);
        std::uint8_t little[8];
        copyOrdered(data + OLD_ASPECT_OFFSET, 8, order, little);
        std::memcpy(&h.aspect, little, sizeof h.aspect);
        if (!std::isfinite(h.aspect)) h.aspect = 0;
    } else {
        h.fillFlag = readWord(data + NEW_FILL_FLAG_OFFSET, order);
        h.byteOrderTest = readWord(data + NEW_BYTE_ORDER_OFFSET, order);
        std::uint8_t little[4];
        copyOrdered(data + NEW_ASPECT_OFFSET, 4, order, little);
        std::int32_t scaled = static_cast<std::int32_t>(static_cast<std::uint32_t>(little[0]) | (static_cast<std::uint32_t>(little[1]) << 8) |
                                                        (static_cast<std::uint32_t>(little[2]) << 16) |
                                                        (static_cast<std::uint32_t>(little[3]) << 24));
        h.aspect = scaled / ASPECT_SCALE;
    }
    return h;
}

OrderGuess detectByteOrder(const std::uint8_t* data, std::size_t size)
{
    HeaderFields h = readHeaderFields(data, size, ByteOrder::Little);
    if (h.complete && !h.oldForm) {
        if (h.byteOrderTest == BYTE_ORDER_TEST) return {ByteOrder::Little, OrderEvidence::TestWord};
        if (h.byteOrderTest == 0x3412) return {ByteOrder::Big, OrderEvidence::TestWord};
    }
    long little = plausibility(data, size, ByteOrder::Little);
    long big = plausibility(data, size, ByteOrder::Big);
    return {big > little ? ByteOrder::Big : ByteOrder::Little, OrderEvidence::Plausibility};
}

std::vector<std::uint8_t> transcodeSlide(const std::uint8_t* data, std::size_t size, ByteOrder from, ByteOrder to,
                                         bool newForm)
{
    std::vector<std::uint8_t> out;
    HeaderFields h = readHeaderFields(data, size, from);
    if (!h.complete) return out;
    const bool writeOld = h.oldForm && !newForm;
    out.assign(data, data + LEVEL_OFFSET); // signature and kind are bytes
    out.push_back(writeOld ? OLD_FORM_LEVEL : (h.oldForm ? std::uint8_t{2} : h.level));
    putWord(out, static_cast<std::uint16_t>(h.xDots), to);
    putWord(out, static_cast<std::uint16_t>(h.yDots), to);
    std::uint8_t little[8];
    if (writeOld) {
        copyOrdered(data + OLD_ASPECT_OFFSET, 8, from, little);
        for (int i = 0; i < 8; ++i) out.push_back(little[to == ByteOrder::Little ? i : 7 - i]);
        putWord(out, h.fillFlag, to);
        out.push_back(data[OLD_SPARE_OFFSET]);
    } else {
        if (h.oldForm) {
            double scaled = std::round(h.aspect * ASPECT_SCALE);
            auto v = static_cast<std::uint32_t>(scaled > 0 && scaled < 2147483647.0 ? static_cast<std::int32_t>(scaled) : 0);
            for (int i = 0; i < 4; ++i) little[i] = static_cast<std::uint8_t>(v >> (8 * i));
        } else {
            copyOrdered(data + NEW_ASPECT_OFFSET, 4, from, little);
        }
        for (int i = 0; i < 4; ++i) out.push_back(little[to == ByteOrder::Little ? i : 3 - i]);
        putWord(out, h.fillFlag, to);
        putWord(out, BYTE_ORDER_TEST, to);
    }
    bool ended = false;
    walkRecords(data, size, h.headerSize, from, [&](const SlideRecord& r) {
        const std::uint8_t* p = data + r.offset + 2;
        ended = r.kind == RecordKind::End;
        putWord(out, r.word, to);
        switch (r.kind) {
        case RecordKind::Vector:
            for (int i = 0; i < 3; ++i) putWord(out, readWord(p + 2 * i, from), to);
            break;
        case RecordKind::OffsetVector: out.insert(out.end(), p, p + 3); break;
        case RecordKind::CommonEndpoint: out.push_back(p[0]); break;
        case RecordKind::SolidFill:
            for (std::size_t i = 0; i < (r.length - 2) / 2; ++i) putWord(out, readWord(p + 2 * i, from), to);
            break;
        default: break;
        }
    });
    if (!ended) putWord(out, static_cast<std::uint16_t>(REC_END << 8), to);
    return out;
}

} // namespace qorvan::slide
