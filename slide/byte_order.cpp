#include "slide/byte_order.h"

#include <cmath>
#include <cstring>

#include "slide/format.h"

namespace qorvan::slide {

namespace {

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
    if (!encodeSlideHeader(data, size, from, to, newForm, out)) return out;
    const HeaderFields h = readHeaderFields(data, size, from);
    bool ended = false;
    walkRecords(data, size, h.headerSize, from, [&](const SlideRecord& r) {
        ended = r.kind == RecordKind::End;
        encodeRecord(r, to, out);
    });
    if (!ended) platform::appendU16(out, static_cast<std::uint16_t>(REC_END << 8), to);
    return out;
}

} // namespace qorvan::slide
