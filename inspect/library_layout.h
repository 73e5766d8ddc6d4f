// A library file's bytes taken apart without judging them: header, the
// directory as far as it goes, the terminating entry, and the slides' byte
// ranges. Damaged files decode too; the text form, the diff and salvage
// read libraries through this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qorvan::inspect {

struct LayoutEntry {
    std::size_t at = 0; // where the entry starts in the file
    std::string name; // bytes before the first NUL, all 32 without one
    std::vector<std::uint8_t> pad; // the field's bytes after the name's NUL, trailing zeros cut
    std::int32_t offset = 0; // as stored
    std::int64_t size = 0; // as the store derives it: next offset, or the file's end, minus this
    int section = -1; // the section this entry opens, or -1 (its offset opens none, or
                      // an earlier entry with the same offset opened it)
};

// A byte range that starts at some entry's offset and runs to the next
// such offset (or the end of the file). In a sound library, one per slide.
struct LayoutSection {
    std::size_t begin = 0, end = 0;
    int owner = 0; // index of the first entry whose offset is begin
};

struct LibraryLayout {
    bool headerComplete = false; // the file holds 32 bytes
    bool magic = false; // ... and they start with the library magic
    std::vector<LayoutEntry> entries;
    bool terminated = false;
    std::size_t terminatorAt = 0;
    std::size_t bodyStart = 0; // after the terminator, or where the directory stopped
    std::vector<LayoutSection> sections; // ascending
};

LibraryLayout decodeLibraryLayout(const std::uint8_t* data, std::size_t size);

// A sound library of these slides, as the store writes one: header,
// directory, terminator, the slides back to back. Names are at most 32
// bytes (longer ones are cut).
std::vector<std::uint8_t> encodeLibrary(
    const std::vector<std::string>& names, const std::vector<std::vector<std::uint8_t>>& slides);

} // namespace qorvan::inspect
