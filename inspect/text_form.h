// The text form of slides and libraries: one line per header field and per
// record, with everything a byte-exact rebuild needs (unexamined words,
// skipped record words, bytes after the end record, library gaps, raw
// aspect bytes). dump turns bytes into text, build turns text into bytes,
// and build(dump(x)) == x for every input, damaged or not. docs/cli.md
// describes the form for users.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "inspect/text_syntax.h"

namespace qorvan::inspect {

inline constexpr std::string_view SLIDE_TEXT_MAGIC = "qorvan-slide";
inline constexpr std::string_view LIBRARY_TEXT_MAGIC = "qorvan-library";
inline constexpr int TEXT_FORM_VERSION = 1;

// One line of the text form. text is what build reads; note and offset only
// go into the comment. where names the line's place for the diff ("header",
// "record 12", "bytes", "directory").
struct TextLine {
    TextLine(std::string text_, std::string note_, std::int64_t offset_, std::string where_,
        std::string positional_ = "")
        : text(std::move(text_))
        , note(std::move(note_))
        , offset(offset_)
        , where(std::move(where_))
        , positional(std::move(positional_))
    {
    }
    std::string text;
    std::string note;
    std::int64_t offset = -1; // byte offset in the dumped file, -1 for none
    std::string where;
    std::string positional; // more of the note, shown only with offsets
};

// The lines of one slide whose first byte is at `base` in its file.
std::vector<TextLine> slideLines(const std::uint8_t* data, std::size_t size, std::int64_t base = 0);

// Lines to text. Byte offsets in comments help a reader but make every
// following line change when one record is inserted, so a version-control
// diff wants them off.
std::string renderLines(const std::vector<TextLine>& lines, bool offsets);

std::string dumpSlide(const std::uint8_t* data, std::size_t size, bool offsets = true);
std::string dumpLibrary(const std::uint8_t* data, std::size_t size, bool offsets = true);

struct BuildResult {
    bool ok = false;
    bool library = false; // which kind of text it was
    std::vector<std::uint8_t> bytes;
    TextError error; // when !ok
};

// Either kind of text, told apart by its first line.
BuildResult buildFromText(std::string_view text);

} // namespace qorvan::inspect
