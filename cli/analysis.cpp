#include "cli/analysis.h"

#include <algorithm>
#include <cstring>

#include "slide/format.h"
#include "slide/stream.h"

namespace qorvan::cli {

namespace {

    // The module's header check, fault by fault, with the values behind it.
    void headerFaults(const std::vector<std::uint8_t>& b, SlideAnalysis& a)
    {
        const slide::HeaderFields little
            = slide::readHeaderFields(b.data(), b.size(), slide::ByteOrder::Little);
        if (!little.complete) {
            a.headerFaults.push_back("header cut short (" + std::to_string(b.size()) + " bytes)");
            return;
        }
        const unsigned faults = slide::slideHeaderFaults(b.data(), b.size(), little.oldForm);
        if (faults & slide::HEADER_SIGNATURE) a.headerFaults.push_back("signature is not \"AutoCAD Slide\"");
        if (faults & slide::HEADER_KIND) a.headerFaults.push_back("kind is not V");
        if (faults & slide::HEADER_FILL_FLAG)
            a.headerFaults.push_back("fill flag " + std::to_string(little.fillFlag) + " is neither 0 nor 2");
        if (faults & slide::HEADER_BYTE_ORDER) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "byte-order word reads 0x%04X, not 0x1234", little.byteOrderTest);
            a.headerFaults.push_back(buf);
        }
    }

} // namespace

std::string byteOrderText(const slide::OrderGuess& o)
{
    std::string text = o.order == slide::ByteOrder::Little ? "little-endian" : "big-endian";
    return text
        + (o.evidence == slide::OrderEvidence::TestWord ? " (byte-order word)"
                                                        : " (judged from header and records)");
}

SlideAnalysis analyseSlide(const std::vector<std::uint8_t>& bytes, slide::OrderGuess order)
{
    SlideAnalysis a;
    a.order = order;
    a.header = slide::readHeaderFields(bytes.data(), bytes.size(), order.order);
    {
        const bool oldForm = slide::selectsOldForm(bytes.data(), bytes.size());
        a.headerCheck
            = slide::headerStatus(slide::slideHeaderFaults(bytes.data(), bytes.size(), oldForm), oldForm);
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
    // The renderer folds a to-point beyond the extent back into it (that is
    // how slides write -1) and clamps a from-point below -1, so only what
    // those adjustments leave outside the area is a fault.
    auto lineInside
        = [&](std::int32_t x, std::int32_t y) { return x >= -1 && y >= -1 && x <= xd + 1 && y <= yd + 1; };
    bool skippedSeen = false;
    a.walk = slide::walkRecords(
        bytes.data(), bytes.size(), a.header.headerSize, order.order, [&](const slide::SlideRecord& r) {
            ++a.counts[static_cast<std::size_t>(r.kind)];
            bool out = false;
            switch (r.kind) {
            case slide::RecordKind::Vector:
            case slide::RecordKind::OffsetVector:
            case slide::RecordKind::CommonEndpoint: {
                const std::int32_t fx = slide::clampFrom(r.from.x), fy = slide::clampFrom(r.from.y);
                const std::int32_t tx = slide::foldTo(r.to.x, xd), ty = slide::foldTo(r.to.y, yd);
                cover(fx, fy);
                cover(tx, ty);
                out = !lineInside(fx, fy) || !lineInside(tx, ty);
                break;
            }
            case slide::RecordKind::SolidFill:
                for (slide::Point v : *r.vertices) {
                    const std::int32_t x = slide::foldVertex(v.x, xd), y = slide::foldVertex(v.y, yd);
                    cover(x, y);
                    out = out || x < 0 || y < 0 || x > xd || y > yd;
                }
                break;
            case slide::RecordKind::Skipped:
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

} // namespace qorvan::cli
