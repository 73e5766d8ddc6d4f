// Text in the 8-bit Windows code pages (1250 to 1258), which drawings made
// before UTF-8 became the rule store their text in.
#pragma once

#include <string>
#include <string_view>

namespace qorvan::import {

// The page a name gives: "ANSI_1251", "cp1251", "windows-1251" or "1251";
// 0 for a name of no page known here.
int codepageNumber(std::string_view name);

// The bytes in that page, as UTF-8; bytes the page leaves undefined, and every
// byte above 0x7F of an unknown page, become U+FFFD.
std::string decodeCodepage(std::string_view bytes, int page);

bool isUtf8(std::string_view bytes);

// UTF-8 of one code point (U+FFFD for one that is not a character).
std::string utf8Of(char32_t c);

} // namespace qorvan::import
