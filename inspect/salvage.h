// Getting slides back out of a damaged library: a header overwritten, a
// directory cut short, unterminated or overwritten, offsets that point
// anywhere, slides cut short. Slides are found by their signature and, where
// that is damaged, by the rest of their header and a record stream that
// reads to an end record; the directory, as far as it survives, gives their
// names and where each one ends. Nothing here writes files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qorvan::inspect {

enum class RecoveredState {
    Whole, // the bytes as found
    Repaired, // the signature was damaged and is written anew
    Partial, // cut short: the records that survive, and an end record added
};

struct RecoveredSlide {
    std::string name;
    bool nameFromDirectory = false;
    std::size_t from = 0, to = 0; // the byte range it came from in the damaged file
    RecoveredState state = RecoveredState::Whole;
    std::vector<std::uint8_t> bytes;
    std::string note; // what was done or noticed, for the user
};

struct SalvageReport {
    std::vector<RecoveredSlide> slides;
    std::size_t directoryEntries = 0; // entries that still look like entries
    std::size_t namedFromDirectory = 0; // slides whose name came from them
    std::vector<std::string> notes; // what could not be recovered, and why
};

// Names never longer than 31 bytes and never repeated.
SalvageReport salvageLibrary(const std::uint8_t* data, std::size_t size);

} // namespace qorvan::inspect
