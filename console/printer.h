// The AutoLISP printer: prin1 form (strings quoted and escaped, as read back
// by the reader) and princ form (strings as they are).
#pragma once

#include "console/value.h"

#include <string>

namespace qorvan::console {

std::string prin1Form(const Value& v);
std::string princForm(const Value& v);
// A real as the host shows it: six significant digits, always with a point.
std::string formatReal(double v);

} // namespace qorvan::console
