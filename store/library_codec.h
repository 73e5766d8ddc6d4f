// The slide library codec: the one place that turns library bytes into a
// directory and a directory into library bytes.
//
// Decoding runs over bytes in memory or over an open file (read in blocks,
// so a large library is never held whole), in one of two modes:
//   Strict   what readDirectory accepts: the first fault ends the decoding
//            and the directory is refused (entries cleared);
//   Lenient  what a report needs: nothing is refused, every entry up to
//            the terminator (or the end of the bytes) is kept with its size
//            as the layout derives it, negative or oversized included; every
//            fault met is named, each slide's misplaced offset included. A
//            header that is not the magic ends decoding in both modes.
//   Raw      what the text form, the diff and salvage need of a damaged
//            file: as Lenient, but a 32-byte header that is not the magic
//            does not end the decoding (NotALibrary is still named), since
//            the directory after an overwritten header may be whole.
// A fault carries its byte offset in the file. An empty directory is not a
// fault: the caller decides what it means.
//
// Encoding: encodeLibraryHead lays out header, directory and terminator for
// slides written back to back without gaps, as every writer of the store does;
// decodeEntry and appendEntry are the layout of one directory entry, for the
// tools that read or write entries one by one (salvage, the text form).
#pragma once

#include "platform/bytes.h"
#include "store/library.h"
#include "store/status.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qorvan::platform {
class File;
}

namespace qorvan {

enum class DecodeMode { Strict, Lenient, Raw };

enum class LibraryFault {
    None,
    NotALibrary, // the header is not the magic, or the file is shorter than it
    TooLong, // longer than signed 32-bit offsets can describe
    Unterminated, // the directory runs to the end of the file
    PartialEntry, // an entry cut short by the end of the file
    TooManySlides, // more entries than MAX_LIBRARY_SLIDES (strict stops there)
    BadOffset, // a slide before the directory's end, before the previous
               // slide, or past the end of the file (strict only)
    ReadFailed, // the file could not be read or sought
    // Lenient modes name each misplaced slide, at its entry's offset field,
    // where strict decoding stops at the first BadOffset. Only a terminated
    // directory is judged so: without one, no offset could be right.
    OffsetOutside, // before the directory's end or past the end of the file
    OffsetOverlaps, // before the previous slide's: the two overlap
};

// A short English description, for tools that report faults.
const char* libraryFaultText(LibraryFault fault);

// The module's status code for a fault that refuses a library: CannotOpen
// for ReadFailed, InvalidLibrary for the others, Ok for None.
StatusCode libraryFaultStatus(LibraryFault fault);

// One directory entry as decoded.
struct DecodedEntry {
    SlideName name;
    std::size_t entryOffset = 0; // where the entry starts in the file
    std::int32_t offset = 0; // as stored
    std::int64_t size = 0; // up to the next entry's offset, or the end
};

struct LibraryFaultAt {
    LibraryFault fault = LibraryFault::None;
    std::int64_t offset = 0; // in the file
};

struct DecodedLibrary {
    bool magic = false; // the header is the library magic
    bool terminated = false; // a terminating entry was met
    bool terminatorCut = false; // lenient modes: one began but the file ends
                                // inside it (PartialEntry; directoryEnd is
                                // where it starts)
    std::size_t directoryEnd = 0; // first byte after the terminating entry;
                                  // without one, where the directory stopped
    std::int64_t length = 0; // the file's length
    std::vector<DecodedEntry> entries;
    LibraryFault fault = LibraryFault::None; // the first fault met
    std::int64_t faultOffset = 0;
    std::vector<LibraryFaultAt> faults; // every fault met, in the order met

    bool ok() const { return fault == LibraryFault::None; }
    // The entries as the store hands them out.
    std::vector<LibraryEntry> libraryEntries() const;
};

// Called for each entry as it is decoded (sizes are not known yet); return
// false to stop there. A stopped decoding derives no sizes.
using EntryVisitor = std::function<bool(const DecodedEntry&)>;

DecodedLibrary decodeLibrary(
    const std::uint8_t* data, std::size_t size, DecodeMode mode, const EntryVisitor& visit = nullptr);

// The same over an open file, from its first byte; the file position is left
// anywhere. I/O failures give ReadFailed.
DecodedLibrary decodeLibrary(platform::File& file, DecodeMode mode, const EntryVisitor& visit = nullptr);

// The entry of DIRECTORY_ENTRY_SIZE bytes at p, found at entryOffset.
DecodedEntry decodeEntry(const std::uint8_t* p, std::size_t entryOffset);

// Appends one entry: the 32-byte name field as it stands, then the offset.
void appendEntry(std::vector<std::uint8_t>& out, const SlideName& name, std::int32_t offset);

// The strict decoding of an open file straight into the store's entries,
// for a reader that needs the directory and nothing more: what
// decodeLibrary(file, Strict) gives, without building its larger entries
// and copying them. The result holds everything but the entries, which go
// to entries (left empty when the directory is refused).
DecodedLibrary decodeDirectory(platform::File& file, std::vector<LibraryEntry>& entries);

// Bytes 0..28 are the magic and its NUL (29..31 are not examined); size
// shorter than the header is never valid.
bool libraryHeaderIsValid(const std::uint8_t* data, std::size_t size);

// The name's text: the bytes before the first NUL, all 32 without one.
std::string slideNameText(const SlideName& name);

// How a slide name finds its directory entry. Exact: the stored name's
// bytes equal the name given (the viewer's rule; it upper-cases the name
// first, so an entry stored in lower case by other software is not found).
// AnyCase: ASCII letters compare without regard to case (the store's rule,
// which the tool shares so that every command finds the same slide).
enum class NameMatch { Exact, AnyCase };

bool slideNameMatches(const SlideName& stored, std::string_view name, NameMatch match);

// The first entry whose name matches, or null.
const DecodedEntry* findSlideEntry(const DecodedLibrary& library, std::string_view name, NameMatch match);

// The same over an open file, reading the directory only as far as the
// entry (whose size is then not known). found is false when no entry
// matches or the header is not the magic (library.magic says which).
struct FoundSlide {
    DecodedLibrary library;
    bool found = false;
    DecodedEntry entry;
};
FoundSlide findSlideEntry(platform::File& file, std::string_view name, NameMatch match);

// Where the slides start in a library of count entries written without gaps.
inline std::int64_t firstSlideOffset(std::size_t count)
{
    return static_cast<std::int64_t>(LIBRARY_HEADER_SIZE + DIRECTORY_ENTRY_SIZE * (count + 1));
}

// Header, one entry per slide and the terminating entry, for slides that
// follow back to back in the order given. Sets each entry's offset (its size
// is taken as given). The caller checks that the total fits MAX_LIBRARY_BYTES.
std::vector<std::uint8_t> encodeLibraryHead(std::vector<LibraryEntry>& entries);

} // namespace qorvan
