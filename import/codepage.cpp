#include "import/codepage.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>

#include "import/legacy_encodings.h"

namespace qorvan::import {

int codepageNumber(std::string_view name)
{
    std::string digits;
    for (char c : name)
        if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
    const int page = digits.size() == 4 ? std::atoi(digits.c_str()) : 0;
    return page >= 1250 && page <= 1258 ? page : 0;
}

std::string utf8Of(char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

std::string decodeCodepage(std::string_view bytes, int page)
{
    // The pages' tables are the XML reader's: one table per encoding.
    const std::uint16_t* upper = page >= 1250 && page <= 1258
        ? xml::legacyEncodingUpperHalf("windows-" + std::to_string(page))
        : nullptr;
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out += ch;
            continue;
        }
        const char32_t c = upper ? upper[b - 0x80] : 0;
        out += utf8Of(c ? c : 0xFFFD);
    }
    return out;
}

bool isUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size() + (extra == 0 ? 1 : 0)) return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) >> 6) != 2) return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

} // namespace qorvan::import
