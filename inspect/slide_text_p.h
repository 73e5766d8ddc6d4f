// The slide assembler, shared by the slide text and the slide sections of a
// library text.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "inspect/text_form.h"
#include "slide/records.h"

namespace qorvan::inspect {

// Turns the lines of one slide into its bytes. The header is written when
// the first record arrives (or at the end), so header fields may come in
// any order but all before the records. A slide whose first line is a
// bytes line and that has no header field is raw: its bytes as given (how
// a header cut short is dumped).
class SlideAssembler {
public:
    // One line's tokens (t non-empty). false with e filled.
    bool line(int lineNumber, const std::vector<Token>& t, TextError& e);
    // After the last line: writes the header if no record did.
    bool finish(int lineNumber, TextError& e);
    const std::vector<std::uint8_t>& bytes() const { return out_; }

private:
    struct Field {
        bool given = false;
        int line = 0, column = 0;
        std::int64_t value = 0;
        std::vector<std::uint8_t> bytes;
        bool isRatio = false;
        double ratio = 0;
    };
    bool headerField(const std::vector<Token>& t, TextError& e);
    bool emitHeader(int column, TextError& e);
    bool fill(const std::vector<Token>& t, TextError& e);
    static bool integer(const Token& t, std::int64_t low, std::int64_t high, const char* what,
        std::int64_t& out, TextError& e);
    void word(std::int64_t v); // header words
    void record(const slide::SlideRecord& r);

    std::map<std::string, Field> fields_;
    slide::ByteOrder order_ = slide::ByteOrder::Little;
    bool headerDone_ = false;
    bool rawStart_ = false;
    bool raw_ = false;
    int line_ = 0;
    std::vector<std::uint8_t> out_;
};

} // namespace qorvan::inspect
