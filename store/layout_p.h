// Byte-level helpers for the library layout: little-endian fields at named
// offsets, never a struct cast over file bytes.
#pragma once

#include "store/library.h"

#include <cstdint>
#include <cstring>

namespace qorvan::detail {

inline std::int32_t getInt32(const unsigned char* p)
{
    std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                      (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return static_cast<std::int32_t>(v);
}

inline void putInt32(unsigned char* p, std::int32_t value)
{
    auto v = static_cast<std::uint32_t>(value);
    p[0] = static_cast<unsigned char>(v & 0xff);
    p[1] = static_cast<unsigned char>((v >> 8) & 0xff);
    p[2] = static_cast<unsigned char>((v >> 16) & 0xff);
    p[3] = static_cast<unsigned char>((v >> 24) & 0xff);
}

// The header as written: the magic and zero padding.
inline void encodeHeader(unsigned char (&out)[LIBRARY_HEADER_SIZE])
{
    std::memset(out, 0, sizeof out);
    std::memcpy(out, LIBRARY_MAGIC, LIBRARY_MAGIC_LENGTH);
}

// Valid when bytes 0..28 are the magic and its NUL; 29..31 are ignored.
inline bool headerIsValid(const unsigned char* header)
{
    return std::memcmp(header, LIBRARY_MAGIC, LIBRARY_MAGIC_LENGTH + 1) == 0;
}

inline void encodeEntry(unsigned char* out, const SlideName& name, std::int32_t offset)
{
    std::memcpy(out + ENTRY_NAME_OFFSET, name.bytes, SLIDE_NAME_SIZE);
    putInt32(out + ENTRY_OFFSET_OFFSET, offset);
}

// Where the slides start in a library of count entries written without gaps.
inline std::int64_t firstSlideOffset(std::size_t count)
{
    return static_cast<std::int64_t>(LIBRARY_HEADER_SIZE + DIRECTORY_ENTRY_SIZE * (count + 1));
}

} // namespace qorvan::detail
