// The number of SVG's attribute grammars (path data, points, transforms,
// lengths): an optional sign, digits with an optional fraction, an optional
// exponent. Unlike strtod it takes no "inf", "nan", hexadecimal or locale
// decimal comma, and it stops at a second point, so "1.5.5" is two numbers.
#pragma once

#include <cstddef>
#include <string_view>

namespace qorvan::import::svg {

enum class NumberScan { Ok, None, OutOfRange };

// Reads the number at the start of s into value and its length into used.
NumberScan scanNumber(std::string_view s, double& value, std::size_t& used);

} // namespace qorvan::import::svg
