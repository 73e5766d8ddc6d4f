#include "import/svg_number.h"

#include <charconv>
#include <cmath>

namespace qorvan::import::svg {
namespace {

    bool isDigit(char c)
    {
        return c >= '0' && c <= '9';
    }

} // namespace

NumberScan scanNumber(std::string_view s, double& value, std::size_t& used)
{
    std::size_t i = 0;
    const bool plus = i < s.size() && s[i] == '+';
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const std::size_t digitsStart = i;
    while (i < s.size() && isDigit(s[i]))
        ++i;
    bool any = i > digitsStart;
    if (i < s.size() && s[i] == '.') {
        const std::size_t frac = i + 1;
        std::size_t j = frac;
        while (j < s.size() && isDigit(s[j]))
            ++j;
        if (j > frac || any) {
            any = true;
            i = j;
        }
    }
    if (!any) return NumberScan::None;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        const std::size_t expDigits = j;
        while (j < s.size() && isDigit(s[j]))
            ++j;
        // An "e" without digits belongs to what follows (as in "1em").
        if (j > expDigits) i = j;
    }
    // from_chars takes no leading plus.
    const char* first = s.data() + (plus ? 1 : 0);
    const auto [end, ec] = std::from_chars(first, s.data() + i, value);
    used = i;
    if (ec == std::errc::result_out_of_range) {
        // Too small to hold is zero for drawing purposes; too large is not.
        const std::string_view text = s.substr(0, i);
        const std::size_t e = text.find_first_of("eE");
        if (e != std::string_view::npos && e + 1 < text.size() && text[e + 1] == '-') {
            value = 0;
            return NumberScan::Ok;
        }
        return NumberScan::OutOfRange;
    }
    if (!std::isfinite(value)) return NumberScan::OutOfRange;
    if (ec != std::errc {} || end != s.data() + i) return NumberScan::None;
    return NumberScan::Ok;
}

} // namespace qorvan::import::svg
