// The AutoLISP reader: text to values. Integers that do not fit 32 bits are
// read as reals, as the host does; symbols are folded to upper case; strings
// take the AutoLISP escapes \\ \" \n \r \t \e and \nnn (octal).
#pragma once

#include "console/value.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace qorvan::console {

// Deeper nesting than this is refused rather than risking the stack.
inline constexpr int READ_DEPTH_LIMIT = 1000;

enum class ReadStatus {
    Ok, // one expression read
    End, // nothing but blanks and comments left
    Incomplete, // the text ends inside an expression or a string
    Error, // malformed input; the message says why
};

class Reader {
public:
    explicit Reader(std::string_view text)
        : text_(text)
    {
    }

    // Reads the next expression into out; on Error, message holds the
    // host-style reason ("malformed list on input", ...).
    ReadStatus next(Value& out, std::string& message);
    std::size_t position() const { return pos_; }

private:
    ReadStatus datum(Value& out, std::string& message, int depth);
    ReadStatus list(Value& out, std::string& message, int depth);
    ReadStatus stringLiteral(Value& out, std::string& message);
    // False when the text ends inside a block comment.
    bool skipBlanks();
    Value atom(std::string_view token) const;

    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace qorvan::console
