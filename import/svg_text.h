// White space as SVG and CSS define it, shared by the attribute, colour and
// style-sheet readers so all three agree on what a blank is.
#pragma once

#include <string_view>

namespace qorvan::import::svg {

inline bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

inline std::string_view trim(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace qorvan::import::svg
