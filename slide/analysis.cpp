#include "slide/analysis.h"

#include <algorithm>
#include <cstring>

#include "slide/format.h"
#include "slide/stream.h"

namespace qorvan::slide {

namespace {

    // The module's header check, fault by fault, with the values behind it.
    void headerFaults(const std::vector<std::uint8_t>& b, SlideAnalysis& a)
    {
        const bool oldForm = selectsOldForm(b.data(), b.size());
        const unsigned faults = slideHeaderFaults(b.data(), b.size(), oldForm);
        // A header cut short is that and nothing more: the other tests only
        // see the zeros that stand in for the missing bytes.
        if (faults & HEADER_CUT_SHORT) {
            a.headerFaults.push_back(headerFaultText(HEADER_CUT_SHORT, b.data(), b.size(), oldForm));
            return;
        }
        for (HeaderFault f : { HEADER_SIGNATURE, HEADER_KIND, HEADER_FILL_FLAG, HEADER_BYTE_ORDER })
            if (faults & f) a.headerFaults.push_back(headerFaultText(f, b.data(), b.size(), oldForm));
    }

} // namespace

std::string byteOrderText(const OrderGuess& o)
{
    std::string text = o.order == ByteOrder::Little ? "little-endian" : "big-endian";
    return text
        + (o.evidence == OrderEvidence::TestWord ? " (byte-order word)"
                                                 : " (judged from header and records)");
}

SlideAnalysis analyseSlide(const std::vector<std::uint8_t>& bytes, OrderGuess order)
{
    SlideAnalysis a;
    a.order = order;
    a.header = readHeaderFields(bytes.data(), bytes.size(), order.order);
    {
        const bool oldForm = selectsOldForm(bytes.data(), bytes.size());
        a.headerCheck = headerStatus(slideHeaderFaults(bytes.data(), bytes.size(), oldForm), oldForm);
    }
    headerFaults(bytes, a);
    if (!a.header.complete) return a;
    const std::int32_t xd = a.header.xDots, yd = a.header.yDots;
    auto cover = [&](std::int32_t x, std::int32_t y) {
        if (!a.drawn) {
            a.minX = a.maxX = x;
            a.minY = a.maxY = y;
            a.drawn = true;
            return;
        }
        a.minX = std::min(a.minX, x), a.maxX = std::max(a.maxX, x);
        a.minY = std::min(a.minY, y), a.maxY = std::max(a.maxY, y);
    };
    // Only what the renderer's clamps and folds leave outside the area is a
    // fault: slides write -1 as 65535, which folds back in.
    bool skippedSeen = false;
    a.walk = walkRecords(
        bytes.data(), bytes.size(), a.header.headerSize, order.order, [&](const SlideRecord& r) {
            ++a.counts[static_cast<std::size_t>(r.kind)];
            bool out = false;
            switch (r.kind) {
            case RecordKind::Vector:
            case RecordKind::OffsetVector:
            case RecordKind::CommonEndpoint: {
                const std::int32_t fx = clampFrom(r.from.x), fy = clampFrom(r.from.y);
                const std::int32_t tx = foldTo(r.to.x, xd), ty = foldTo(r.to.y, yd);
                cover(fx, fy);
                cover(tx, ty);
                out = leavesArea(r, xd, yd);
                break;
            }
            case RecordKind::SolidFill:
                for (Point v : *r.vertices)
                    cover(foldVertex(v.x, xd), foldVertex(v.y, yd));
                out = leavesArea(r, xd, yd);
                break;
            case RecordKind::Skipped:
                if (!skippedSeen) a.firstSkipped = r.offset;
                skippedSeen = true;
                break;
            default:
                break;
            }
            if (out && a.outside++ == 0) a.firstOutside = r.offset;
        });
    return a;
}

} // namespace qorvan::slide
