// The lexical layer of the text form shared by the slide and library texts:
// quoting bytes as strings and hex, splitting a line into tokens with their
// columns, and reading numbers with range checks that name what was wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qorvan::inspect {

// Bytes as a double-quoted string: printable ASCII as itself, \" \\ \r \n
// \t \0 and \xHH for the rest, so any byte survives a round trip.
std::string quoteBytes(const std::uint8_t* data, std::size_t size);
// Lower-case hex, two digits a byte, no separators.
std::string hexBytes(const std::uint8_t* data, std::size_t size);
std::string hexWord(unsigned value); // "0x1234"

struct Token {
    std::string text; // a bare word, or a string's decoded bytes
    bool quoted = false;
    int column = 0; // 1-based, of the token's first character
};

// Where a text is wrong; line and column are 1-based.
struct TextError {
    int line = 0;
    int column = 0;
    std::string message;
};

// Splits one line; a '#' outside a string starts a comment. Returns false
// with *error filled (column set, line left to the caller) on a string that
// is not closed or an escape that is not known.
bool tokenize(std::string_view line, std::vector<Token>& tokens, TextError& error);

// Decimal with an optional '-', or 0x hex. Empty when the text is not one.
std::optional<std::int64_t> parseInteger(std::string_view text);
// An even number of hex digits; empty when the text is not that.
std::optional<std::vector<std::uint8_t>> parseHex(std::string_view text);

} // namespace qorvan::inspect
