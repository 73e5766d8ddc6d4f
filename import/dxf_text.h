// Text as DXF writes it, turned into the UTF-8 lines the stroke font draws.
#pragma once

#include <string>
#include <vector>

namespace qorvan::import::dxf {

// TEXT control codes: %%d degree, %%p plus-minus, %%c diameter, %%%
// percent; under- and overline toggles are dropped.
std::string textCodes(const std::string& t);

// MTEXT's inline formatting reduced to its plain text, split at \P.
std::vector<std::string> mtextLines(const std::string& t);

} // namespace qorvan::import::dxf
