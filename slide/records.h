// The slide record codec: the one decoder of the records that follow a
// slide's header, the one encoder of them, and the renderer's clamp and fold
// rules, which every reader of points applies the same way.
//
//   RecordReader   pulls one record at a time from a stream, in either byte
//                  order; the renderer draws from it
//   walkRecords    the same over bytes in memory, for the tools
//   encodeRecord   a record back to bytes, in either byte order
//   encodeFill     a whole fill, as written afresh
//   clampFrom, foldTo, foldVertex
//                  how the renderer adjusts the points it is given
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/bytes.h"
#include "slide/stream.h"
#include "slide/surface.h"

namespace qorvan::slide {

// Little is the order the module reads; Big is a slide written high byte
// first (its byte-order word reads 0x3412).
using platform::ByteOrder;

inline constexpr std::int32_t WORD_MAX = 0xFFFF;

// A line's from point below -1 becomes 0 (-1 itself stays).
inline std::int32_t clampFrom(std::int32_t v)
{
    return v < -1 ? 0 : v;
}
// A line's to point beyond the extent plus one folds back: 0xFFFF - v, so a
// 16-bit -1 lands at 0.
inline std::int32_t foldTo(std::int32_t v, std::int32_t extent)
{
    return v > extent + 1 ? WORD_MAX - v : v;
}
// A fill vertex folds against the extent itself.
inline std::int32_t foldVertex(std::int32_t v, std::int32_t extent)
{
    return v > extent ? WORD_MAX - v : v;
}

struct SlideRecord;

// Whether a line or fill record keeps a point outside the area 0..xDots by
// 0..yDots once the renderer has clamped and folded its points. A line may
// reach one dot beyond each edge: slides write -1 and the extent plus one.
bool leavesArea(const SlideRecord& r, std::int32_t xDots, std::int32_t yDots);

enum class RecordKind { Vector, Skipped, OffsetVector, End, SolidFill, CommonEndpoint, Colour };
inline constexpr int RECORD_KINDS = 7;
const char* recordKindName(RecordKind kind);

// One record as read. Points are absolute, before the renderer's clamping
// and folding: from and to for the three line records, vertices (x, y) for
// a fill, colour for a colour record, the record word for every kind. The
// bytes the renderer does not examine are kept so that encodeRecord gives
// back the bytes read.
struct SlideRecord {
    RecordKind kind = RecordKind::End;
    std::size_t offset = 0; // of the record word, from the start of the data
    std::size_t length = 0; // bytes the record takes
    std::uint16_t word = 0;
    Point from {};
    Point to {};
    std::uint8_t colour = 0;
    // Offset vector: dx1, dy1, dx2, dy2; common endpoint: dx, dy.
    std::int8_t delta[4] = {};
    // Solid fill: the points, the second word, and each vertex's first word.
    const std::vector<Point>* vertices = nullptr;
    std::uint16_t fillSpare = 0;
    const std::vector<std::uint16_t>* vertexSpares = nullptr;
};

struct RecordWalk {
    std::size_t records = 0;
    bool endRecord = false; // stopped at an end record
    bool cutShort = false; // the data ended inside a record
    std::size_t stopOffset = 0; // where the walk stopped: after the end record,
                                // at the cut record, or the data's end
};

// Reads the records from the stream's position, as the renderer reads them:
// the last point starts at `start` and becomes each line's from point,
// clamped. Offsets count from `base`, the offset of the stream's position.
class RecordReader {
public:
    RecordReader(SlideStream& stream, ByteOrder order, Point start = { 0, 0 }, std::size_t base = 0)
        : stream_(stream)
        , order_(order)
        , last_(start)
        , pos_(base)
    {
    }

    // The next record; false at the end of the data, after the end record,
    // or at a record cut short (whose part read is not returned). A fill's
    // vertex lists stay valid until the next call.
    bool next(SlideRecord& r);
    const RecordWalk& walk() const { return walk_; }

private:
    bool stop(bool cut, std::size_t at);
    SlideStream& stream_;
    ByteOrder order_;
    Point last_;
    std::size_t pos_;
    bool done_ = false;
    RecordWalk walk_;
    std::vector<Point> vertices_;
    std::vector<std::uint16_t> spares_;
};

// Walks the records that start at `start` in data with a RecordReader.
RecordWalk walkRecords(const std::uint8_t* data, std::size_t size, std::size_t start, ByteOrder order,
    const std::function<void(const SlideRecord&)>& visit);

// Appends the record's bytes in the given order. Line records take from and
// to (vector) or delta (relative kinds); the record word's low byte of an
// end, fill or skipped record is kept from word.
void encodeRecord(const SlideRecord& r, ByteOrder order, std::vector<std::uint8_t>& out);

// A fill's start record carries its vertex count and a negative second word;
// its closing record is (0, -1). Readers that count vertices stop after the
// count and read the closing record as an empty fill; readers that look for
// the negative word stop at it.
inline constexpr std::uint16_t FILL_START_MARK = 0xFFFE; // -2
inline constexpr std::uint16_t FILL_CLOSE_MARK = 0xFFFF; // -1

// Appends a whole fill in the little-endian order the host writes: the start
// record with startMark, a record per vertex opened by FILL_VERTEX_WORD, and
// the closing record.
void encodeFill(const std::vector<Point>& vertices, std::uint16_t startMark, std::vector<std::uint8_t>& out);

} // namespace qorvan::slide
