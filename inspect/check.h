// What is wrong with a library or a slide, and how much it matters: each
// fault the library and slide codecs report, with the byte it is at, judged
// once in this file's table as damage or as an oddity.
//
//   Error    damage: the store refuses the library, a slide's header fails
//            the module's check, or a slide was cut short, so its owner
//            loses what was written
//   Warning  the format allows it and the viewer copes (coordinates the
//            renderer's clamps and folds leave outside the area, a record
//            type it skips, a slide without its end record), or the store
//            copes but a user may be surprised (a name the viewer cannot
//            find by name, a name repeated)
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qorvan::inspect {

enum class Severity { Warning, Error };

enum class CheckKind {
    // the file
    Unreadable,
    NotALibrary,
    TooLong,
    Unterminated,
    PartialEntry,
    TooManySlides,
    SlideNotFound,
    HiddenSlide,
    UnheldBytes,
    // a directory entry
    OffsetOutside,
    OffsetOverlaps,
    NameFillsField,
    DuplicateName,
    LowerCaseName,
    UnsafeName,
    // a slide's bytes
    HeaderCutShort,
    Signature,
    Kind,
    FillFlag,
    ByteOrderWord,
    BigEndian,
    RecordCutShort,
    NoEndRecord,
    OutsideArea,
    UnknownRecord,
};

struct KindInfo {
    Severity severity;
    const char* key; // a stable name for machine-read reports
};
const KindInfo& kindInfo(CheckKind kind);

const char* severityName(Severity severity);

struct Finding {
    CheckKind kind = CheckKind::Unreadable;
    bool located = false; // offset is known
    std::size_t offset = 0; // in the file
    std::string message;
    Severity severity() const { return kindInfo(kind).severity; }
};

struct SlideCheck {
    std::string name; // as the directory holds it (bytes before the first NUL)
    std::size_t entryOffset = 0; // where its directory entry starts
    std::int64_t offset = 0; // where the slide starts, as the entry says
    std::vector<Finding> entry; // about its directory entry
    std::vector<Finding> bytes; // about the slide's own bytes
};

struct LibraryCheck {
    std::vector<Finding> findings; // the header and the directory as a whole
    std::vector<SlideCheck> slides; // one per directory entry, in order
};

// Whether a slide name cannot be used as a file name as it stands; the
// caller knows the rule the tools write files by.
using NameRule = std::function<bool(const std::string&)>;

LibraryCheck checkLibrary(const std::uint8_t* data, std::size_t size, const NameRule& unsafeName);

// A slide's bytes, which start at byte base of their file (offsets in the
// findings count from the file's start).
std::vector<Finding> checkSlide(const std::uint8_t* data, std::size_t size, std::size_t base = 0);

} // namespace qorvan::inspect
