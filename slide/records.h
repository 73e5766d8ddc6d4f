// A walker over a slide's records that reports each one with its byte offset
// and its points, in either byte order. The renderer draws; this only reads,
// for the tools that inspect, check and re-encode slides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "slide/surface.h"

namespace qorvan::slide {

// Little is the order the module reads; Big is a slide written high byte
// first (its byte-order word reads 0x3412).
enum class ByteOrder { Little, Big };

enum class RecordKind { Vector, Skipped, OffsetVector, End, SolidFill, CommonEndpoint, Colour };
inline constexpr int RECORD_KINDS = 7;
const char* recordKindName(RecordKind kind);

// One record as read. Points are absolute, before the renderer's clamping
// and folding: from and to for the three line records, vertices (x, y) for
// a fill, colour for a colour record, the record word for every kind.
struct SlideRecord {
    RecordKind kind = RecordKind::End;
    std::size_t offset = 0; // of the record word, from the start of the data
    std::size_t length = 0; // bytes the record takes
    std::uint16_t word = 0;
    Point from{};
    Point to{};
    std::uint8_t colour = 0;
    const std::vector<Point>* vertices = nullptr; // SolidFill only
};

struct RecordWalk {
    std::size_t records = 0;
    bool endRecord = false;    // stopped at an end record
    bool cutShort = false;     // the data ended inside a record
    std::size_t stopOffset = 0; // where the walk stopped: after the end record,
                                // at the cut record, or the data's end
};

// Walks the records that start at `start`, as the renderer reads them: the
// last point starts at (0, 0) and becomes each line's from point, clamped as
// the renderer clamps it (below -1 becomes 0). Stops at an end record, at a
// record cut short, or at the end of the data.
RecordWalk walkRecords(const std::uint8_t* data, std::size_t size, std::size_t start, ByteOrder order,
                       const std::function<void(const SlideRecord&)>& visit);

// 16-bit value at p in the given order.
inline std::uint16_t readWord(const std::uint8_t* p, ByteOrder order)
{
    return order == ByteOrder::Little ? static_cast<std::uint16_t>(p[0] | (p[1] << 8))
                                      : static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

} // namespace qorvan::slide
