// The slide library file: its layout, and the read-only operations that open
// a library, check its header and load its directory.
//
// Layout (little-endian): a 32-byte header (LIBRARY_MAGIC, then zeros); one
// 36-byte entry per slide (32-byte NUL-padded name, signed 32-bit offset);
// a 36-byte zero terminating entry; the slides' bytes back to back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qorvan {

inline constexpr char LIBRARY_MAGIC[] = "AutoCAD Slide Library 1.0\r\n\x1a";
inline constexpr std::size_t LIBRARY_MAGIC_LENGTH = 28;
static_assert(sizeof LIBRARY_MAGIC == LIBRARY_MAGIC_LENGTH + 1);

inline constexpr std::size_t LIBRARY_HEADER_SIZE = 32;
inline constexpr std::size_t SLIDE_NAME_SIZE = 32;
inline constexpr std::size_t SLIDE_NAME_MAX = SLIDE_NAME_SIZE - 1;
inline constexpr std::size_t ENTRY_NAME_OFFSET = 0;
inline constexpr std::size_t ENTRY_OFFSET_OFFSET = 32;
inline constexpr std::size_t DIRECTORY_ENTRY_SIZE = 36;
inline constexpr std::size_t EMPTY_LIBRARY_SIZE = LIBRARY_HEADER_SIZE + DIRECTORY_ENTRY_SIZE;
static_assert(EMPTY_LIBRARY_SIZE == 68);

// A slide's name as stored: up to 32 bytes, NUL-padded (no NUL when all 32
// bytes are used).
struct SlideName {
    char bytes[SLIDE_NAME_SIZE] = {};
};

// One directory entry in memory. size is derived: the distance to the next
// entry's offset, or to the end of the file for the last.
struct LibraryEntry {
    SlideName name;
    std::int32_t offset = 0;
    std::int32_t size = 0;
};

// Opens the library (the reader rule: lower-cased, ".slb" appended unless
// the text contains ".slb"), checks the header and returns the directory,
// at least one entry. On failure returns an empty vector after recording
// CannotOpen (naming the resolved path), InvalidLibrary, EmptyLibrary
// (naming the path as written), or NoMemory. Success leaves the status
// untouched.
std::vector<LibraryEntry> readDirectory(const char* library);

// The names of readDirectory's entries, in directory order; empty with the
// reader's status on failure.
std::vector<SlideName> listSlides(const char* library);

} // namespace qorvan
