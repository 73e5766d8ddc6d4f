// The slide file format: the two header forms and the header check.
// All 16-bit values are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "slide/stream.h"

namespace qorvan::slide {

inline constexpr char SLIDE_SIGNATURE[] = "AutoCAD Slide\r\n\x1a";
inline constexpr std::size_t SLIDE_SIGNATURE_SIZE = 17; // with its NUL

inline constexpr std::size_t LEVEL_OFFSET = 18;
inline constexpr std::size_t KIND_OFFSET = 17;
inline constexpr std::size_t XDOTS_OFFSET = 19;
inline constexpr std::size_t YDOTS_OFFSET = 21;
inline constexpr char SLIDE_KIND = 'V';
inline constexpr std::uint8_t OLD_FORM_LEVEL = 1;

// New form (level other than 1).
inline constexpr std::size_t NEW_ASPECT_OFFSET = 23;
inline constexpr std::size_t NEW_FILL_FLAG_OFFSET = 27;
inline constexpr std::size_t NEW_BYTE_ORDER_OFFSET = 29;
inline constexpr std::size_t NEW_HEADER_SIZE = 31;
inline constexpr std::uint16_t BYTE_ORDER_TEST = 0x1234;

// Old form (level 1).
inline constexpr std::size_t OLD_ASPECT_OFFSET = 23;
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

// Either form, as read. Bytes a short stream did not deliver are zero.
struct SlideHeader {
    std::uint8_t bytes[OLD_HEADER_SIZE] = {};
    std::size_t size = 0;    // form size: 31 or 34
    std::size_t arrived = 0; // bytes actually read

    std::uint8_t kind() const { return bytes[KIND_OFFSET]; }
    std::uint8_t level() const { return bytes[LEVEL_OFFSET]; }
    std::int32_t xDots() const { return word(XDOTS_OFFSET); }
    std::int32_t yDots() const { return word(YDOTS_OFFSET); }
    std::uint16_t fillFlag() const
    {
        return static_cast<std::uint16_t>(size == OLD_HEADER_SIZE ? word(OLD_FILL_FLAG_OFFSET) : word(NEW_FILL_FLAG_OFFSET));
    }
    std::uint16_t byteOrderTest() const { return static_cast<std::uint16_t>(word(NEW_BYTE_ORDER_OFFSET)); }

    // Signed 16-bit little-endian value at offset, widened.
    std::int32_t word(std::size_t offset) const
    {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8)));
    }
};

// The level byte of the header at the stream's position; the position is
// left as it was. A stream too short to hold the byte gives level 0.
int peekSlideLevel(SlideStream& stream);

// Read 34 (old) or 31 (new) bytes, check them, set the status to the result
// (0 included) and return it: old form 0 or 2, new form 0, 2 or 3.
int readOldSlideHeader(SlideStream& stream, SlideHeader& header);
int readNewSlideHeader(SlideStream& stream, SlideHeader& header);

} // namespace qorvan::slide
