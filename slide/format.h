// The slide header codec: the two header forms, the one header reader and
// the one header check. The records that follow are decoded in records.h;
// telling byte orders apart and re-encoding is in byte_order.h.
//
//   readHeaderFields   the fields of either form, in either byte order
//   slideHeaderFaults  the set of faults the module's check finds in the
//                      bytes as they stand; headerStatus makes the status
//                      code of it, and tools name each fault
//   encodeSlideHeader  a header back to bytes, in either order and form
//   appendNewSlideHeader
//                      the new form's layout, for slides drawn from scratch
//                      and for every new-form copy
//   peekSlideLevel, readOldSlideHeader, readNewSlideHeader
//                      the module's reads from a stream, which set the status
//
// The module reads every 16-bit value little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/bytes.h"
#include "slide/stream.h"
#include "store/status.h"

namespace qorvan::slide {

inline constexpr char SLIDE_SIGNATURE[] = "AutoCAD Slide\r\n\x1a";
inline constexpr std::size_t SLIDE_SIGNATURE_SIZE = 17; // with its NUL

inline constexpr std::size_t LEVEL_OFFSET = 18;
inline constexpr std::size_t KIND_OFFSET = 17;
inline constexpr std::size_t XDOTS_OFFSET = 19;
inline constexpr std::size_t YDOTS_OFFSET = 21;
inline constexpr char SLIDE_KIND = 'V';
inline constexpr std::uint8_t OLD_FORM_LEVEL = 1;
inline constexpr std::uint8_t NEW_FORM_LEVEL = 2;
// The fill flag says whether the slide may hold fills; no other value is valid.
inline constexpr std::uint16_t FILL_FLAG_NONE = 0;
inline constexpr std::uint16_t FILL_FLAG_FILLS = 2;

// New form (level other than 1).
inline constexpr std::size_t NEW_ASPECT_OFFSET = 23;
inline constexpr std::size_t NEW_ASPECT_SIZE = 4; // the ratio scaled, a 32-bit integer
inline constexpr std::size_t NEW_FILL_FLAG_OFFSET = 27;
inline constexpr std::size_t NEW_BYTE_ORDER_OFFSET = 29;
inline constexpr std::size_t NEW_HEADER_SIZE = 31;
inline constexpr std::uint16_t BYTE_ORDER_TEST = 0x1234;

// Old form (level 1).
inline constexpr std::size_t OLD_ASPECT_OFFSET = 23;
inline constexpr std::size_t OLD_ASPECT_SIZE = 8; // the ratio, an 8-byte floating value
inline constexpr std::size_t OLD_FILL_FLAG_OFFSET = 31;
inline constexpr std::size_t OLD_SPARE_OFFSET = 33;
inline constexpr std::size_t OLD_HEADER_SIZE = 34;

// Record types: the high byte of a record word.
inline constexpr std::uint8_t REC_VECTOR_LAST = 0x7F;
inline constexpr std::uint8_t REC_OFFSET_VECTOR = 0xFB;
inline constexpr std::uint8_t REC_END = 0xFC;
inline constexpr std::uint8_t REC_SOLID_FILL = 0xFD;
inline constexpr std::uint8_t REC_COMMON_ENDPOINT = 0xFE;
inline constexpr std::uint8_t REC_COLOR = 0xFF;
// Each vertex group of a fill opens with a word no reader examines; slides
// written by the host put the fill's own record word there.
inline constexpr std::uint16_t FILL_VERTEX_WORD = REC_SOLID_FILL << 8;

// Either form, as read. Bytes a short stream did not deliver are zero.
struct SlideHeader {
    std::uint8_t bytes[OLD_HEADER_SIZE] = {};
    std::size_t size = 0; // form size: 31 or 34
    std::size_t arrived = 0; // bytes actually read

    std::uint8_t kind() const { return bytes[KIND_OFFSET]; }
    std::uint8_t level() const { return bytes[LEVEL_OFFSET]; }
    std::int32_t xDots() const { return word(XDOTS_OFFSET); }
    std::int32_t yDots() const { return word(YDOTS_OFFSET); }
    std::uint16_t fillFlag() const
    {
        return static_cast<std::uint16_t>(
            size == OLD_HEADER_SIZE ? word(OLD_FILL_FLAG_OFFSET) : word(NEW_FILL_FLAG_OFFSET));
    }
    std::uint16_t byteOrderTest() const { return static_cast<std::uint16_t>(word(NEW_BYTE_ORDER_OFFSET)); }

    // Signed 16-bit little-endian value at offset, widened.
    std::int32_t word(std::size_t offset) const { return platform::getI16(bytes + offset); }
};

using platform::ByteOrder;

// The header fields that matter to a reader, decoded in one byte order.
struct HeaderFields {
    bool complete = false; // the data holds the whole header of its form
    bool oldForm = false; // level 1: 34 bytes, no byte-order word
    std::uint8_t level = 0;
    std::int32_t xDots = 0;
    std::int32_t yDots = 0;
    std::uint16_t fillFlag = 0;
    std::uint16_t byteOrderTest = 0; // new form only
    double aspect = 0; // display ratio
    std::size_t headerSize = 0; // 31 or 34; 0 without a level byte
};

HeaderFields readHeaderFields(const std::uint8_t* data, std::size_t size, ByteOrder order);

// What the header check can find wrong, as bits of a set.
enum HeaderFault : unsigned {
    HEADER_CUT_SHORT = 1u << 0, // the data ends inside the header
    HEADER_SIGNATURE = 1u << 1, // not "AutoCAD Slide\r\n\x1a" and its NUL
    HEADER_KIND = 1u << 2, // kind is not 'V'
    HEADER_FILL_FLAG = 1u << 3, // fill flag neither 0 nor 2
    HEADER_BYTE_ORDER = 1u << 4, // new form: the test word is not 0x1234
};

// A display ratio as the new form stores it: scaled by 10 000 000 and
// rounded; 0 when that does not fit a signed 32-bit value.
std::int32_t scaledAspect(double ratio);
// The same for square pixels on an xDots by yDots area (0 without a height),
// worked out from the extents so that no rounding of the ratio comes first.
std::int32_t squarePixelAspect(std::int32_t xDots, std::int32_t yDots);

// Appends a new-form header in `order`: the signature, kind V, level 2, the
// extents, the scaled display ratio, the fill flag and the byte-order word.
void appendNewSlideHeader(std::vector<std::uint8_t>& out, std::int32_t xDots, std::int32_t yDots,
    std::int32_t aspect, std::uint16_t fillFlag, ByteOrder order = ByteOrder::Little);

// Appends the header of the slide at data (read in `from` order) encoded in
// `to` order: in the new form when newForm is set, else in its own form. A
// new-form copy of an old-form header gets level 2 and the aspect scaled to
// the new form's integer. False, nothing appended, when the header is not
// whole.
bool encodeSlideHeader(const std::uint8_t* data, std::size_t size, ByteOrder from, ByteOrder to, bool newForm,
    std::vector<std::uint8_t>& out);

// Which header form a re-encoded slide gets.
enum class SlideForm { Keep, New, Old };

// As above, in any form: an old-form copy of a new-form header gets level 1,
// the ratio as the old form's 8-byte value and a zero spare byte.
bool encodeSlideHeader(const std::uint8_t* data, std::size_t size, ByteOrder from, ByteOrder to,
    SlideForm form, std::vector<std::uint8_t>& out);

// Level 1 selects the old form; a missing level byte selects the new one.
bool selectsOldForm(const std::uint8_t* data, std::size_t size);

// The faults of the header in the given form whose first `arrived` bytes are
// at data, read little-endian as the module reads it. Bytes that did not
// arrive are taken as zero.
unsigned slideHeaderFaults(const std::uint8_t* data, std::size_t arrived, bool oldForm);

// One fault of the set in words, with the value behind it where there is one
// ("fill flag 1 is neither 0 nor 2"), for tools that report faults; the
// arguments are those slideHeaderFaults was given.
std::string headerFaultText(HeaderFault fault, const std::uint8_t* data, std::size_t arrived, bool oldForm);

// The check's result for a fault set: Ok without faults; DisplayMismatch for
// any fault of an old-form header and for a signature, kind or fill flag
// fault of a new-form one; InvalidSlide for a new-form header cut short or
// with a wrong test word, since that test runs last.
StatusCode headerStatus(unsigned faults, bool oldForm);

// The level byte of the header at the stream's position; the position is
// left as it was. A stream too short to hold the byte gives level 0.
int peekSlideLevel(SlideStream& stream);

// Read 34 (old) or 31 (new) bytes, check them, set the status to the result
// (Ok included) and return it: old form Ok or DisplayMismatch, new form Ok,
// DisplayMismatch or InvalidSlide.
StatusCode readOldSlideHeader(SlideStream& stream, SlideHeader& header);
StatusCode readNewSlideHeader(SlideStream& stream, SlideHeader& header);
// The form the level byte selects, read as above.
StatusCode readSlideHeader(SlideStream& stream, SlideHeader& header);

} // namespace qorvan::slide
