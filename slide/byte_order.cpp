#include "slide/byte_order.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "slide/format.h"

namespace qorvan::slide {

namespace {

    // See plausibility(): larger than any sum the other terms reach on a slide
    // of a few thousand records.
    constexpr std::size_t CUT_SHORT_PENALTY = std::size_t { 1 } << 20;

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
        if (h.fillFlag == FILL_FLAG_NONE || h.fillFlag == FILL_FLAG_FILLS) score += 4;
        const std::int32_t slackX = h.xDots / 8 + 2, slackY = h.yDots / 8 + 2;
        auto near = [&](Point p) {
            return p.x >= -slackX && p.x <= h.xDots + slackX && p.y >= -slackY && p.y <= h.yDots + slackY;
        };
        RecordWalk walk = walkRecords(data, size, h.headerSize, order, [&](const SlideRecord& r) {
            switch (r.kind) {
            case RecordKind::Vector:
            case RecordKind::OffsetVector:
            case RecordKind::CommonEndpoint:
                score += near(r.from) && near(r.to) ? 1 : -2;
                break;
            case RecordKind::SolidFill:
                for (Point v : *r.vertices)
                    score += near(v) ? 0 : -1;
                break;
            case RecordKind::Skipped:
                score -= 3;
                break;
            default:
                break;
            }
        });
        if (walk.endRecord) score += 8;
        // A reading in the wrong order soon falls out of step with the records
        // and ends inside one; that outweighs everything else, since the points
        // of a sound slide may lie far outside its extent (fills close with a
        // negated y), which costs a long sound reading more than a short one.
        if (walk.cutShort) score -= static_cast<long>(CUT_SHORT_PENALTY);
        // Or it meets an end record by chance long before the data ends.
        score -= static_cast<long>(std::min<std::size_t>(size - walk.stopOffset, CUT_SHORT_PENALTY));
        return score;
    }

} // namespace

OrderGuess detectByteOrder(const std::uint8_t* data, std::size_t size)
{
    HeaderFields h = readHeaderFields(data, size, ByteOrder::Little);
    if (h.complete && !h.oldForm) {
        if (h.byteOrderTest == BYTE_ORDER_TEST) return { ByteOrder::Little, OrderEvidence::TestWord };
        if (h.byteOrderTest == 0x3412) return { ByteOrder::Big, OrderEvidence::TestWord };
    }
    long little = plausibility(data, size, ByteOrder::Little);
    long big = plausibility(data, size, ByteOrder::Big);
    return { big > little ? ByteOrder::Big : ByteOrder::Little, OrderEvidence::Plausibility };
}

std::vector<std::uint8_t> transcodeSlide(
    const std::uint8_t* data, std::size_t size, ByteOrder from, ByteOrder to, bool newForm)
{
    return transcodeSlide(data, size, from, to, newForm ? SlideForm::New : SlideForm::Keep);
}

std::vector<std::uint8_t> transcodeSlide(
    const std::uint8_t* data, std::size_t size, ByteOrder from, ByteOrder to, SlideForm form)
{
    std::vector<std::uint8_t> out;
    if (!encodeSlideHeader(data, size, from, to, form, out)) return out;
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
