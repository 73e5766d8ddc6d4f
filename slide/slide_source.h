// Finding what the user named: a slide file, a slide inside a library
// (LIBRARY(NAME)) or a library, and reading its bytes whole. Slides are
// small and read once, so the tools work on memory rather than streams.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/io.h"
#include "slide/byte_order.h"
#include "store/status.h"

namespace qorvan::slide {

struct LoadedSlide {
    std::string label; // how messages name it: the file, or LIBRARY(NAME)
    std::vector<std::uint8_t> bytes;
    OrderGuess order;
    bool isLibrary = false; // the file named is a slide library, not a slide
    std::int64_t offset = 0; // where the slide starts in its file (0 for a slide file)
};

// Whether a reference names a file that is there (in any letter case, by the
// platform's path rules): the tool reads such a file as it is, whatever
// brackets its name holds, before it parses a reference.
bool existsAsWritten(const std::string& ref);

// What a slide reference names under the tool's rules: a slide file, or a
// slide (name) in a library file. No file is read.
struct ToolRef {
    bool library = false;
    std::string file; // the slide file, or the library file
    std::string name; // library: the slide's name as written
};
ToolRef resolveToolRef(const std::string& ref);

// A slide reference as the tool takes it: a file that exists as written;
// else "LIBRARY(NAME)" for slide NAME in the library (found as the store
// finds it: ".slb" optional, NAME in any letter case); else a slide file with
// ".SLD" optional (store/slide_ref.h). Returns Ok, or the code it recorded:
// CannotOpen, InvalidSlide, InvalidLibrary, SlideNotFound.
//
// With a limit, at most that many bytes of the slide are read, and only up
// to its end record (what a drawing of it needs): for callers that must
// finish whatever the file, such as the desktop's thumbnailer.
inline constexpr std::size_t NO_READ_LIMIT = static_cast<std::size_t>(-1);
StatusCode loadSlideRef(const std::string& ref, LoadedSlide& out, std::size_t limit = NO_READ_LIMIT);

// The slide of at most size bytes at offset in file; with a limit, as
// loadSlideRef reads it. Short (or empty) where the file is.
std::vector<std::uint8_t> readSlideAt(
    platform::File& file, std::int64_t offset, std::int64_t size, std::size_t limit = NO_READ_LIMIT);

// One slide of a library by its directory entry's byte range, cut to what
// the file holds.
LoadedSlide sliceSlide(const std::vector<std::uint8_t>& library, std::int64_t offset, std::int64_t size,
    const std::string& label);

// A library's directory as the file holds it, read leniently so that a
// damaged one can be described: nothing is refused.
struct ScannedEntry {
    std::string name; // bytes before the first NUL (all 32 without one)
    std::size_t entryOffset = 0; // where the entry starts in the file
    std::int64_t offset = 0; // as stored
    std::int64_t size = 0; // as the store derives it (may be negative)
};

struct LibraryScan {
    bool magic = false; // the header is the library magic
    bool terminated = false; // a terminating entry was met
    std::size_t directoryEnd = 0; // first byte after the terminating entry
    std::vector<ScannedEntry> entries;
};

bool isLibraryFile(const std::vector<std::uint8_t>& bytes);
bool startsLikeSlide(const std::vector<std::uint8_t>& bytes);

// How much of a file the checks below read: the header and the first
// records, never a whole device or a file of gigabytes.
inline constexpr std::size_t SLIDE_CHECK_BYTES = 4096;

// Whether bytes can go into a library as a slide: the slide header (either
// byte order) and at least one record. False with the reason otherwise.
bool checkSlideBytes(const std::vector<std::uint8_t>& bytes, std::string& why);
LibraryScan scanLibrary(const std::vector<std::uint8_t>& bytes);

// What a command-line argument names, found the way the module finds files:
// a path that exists as written; else "(" makes it a library slide; else the
// slide file rule (".SLD" added) and then the library rule (".slb" added).
// A file is a library when it starts with the library magic or its name
// ends in ".slb".
enum class InputKind { Missing, SlideFile, LibrarySlide, Library };
struct Input {
    InputKind kind = InputKind::Missing;
    std::string path; // the file to read (for a library slide: the reference)
    std::vector<std::uint8_t> bytes; // the file's bytes (not for a library slide)
};
// With a limit, bytes holds at most the file's first limit bytes.
Input findInput(const std::string& argument, std::size_t limit = NO_READ_LIMIT);

} // namespace qorvan::slide
