// DXF drawings (ASCII, R12 to current versions) read as slide shapes, in
// plan view. Binary DXF and DWG are refused with a message that says to
// export ASCII DXF.
#pragma once

#include <string>
#include <string_view>

#include "import/drawing.h"

namespace qorvan::import {

// Reads the file at path (at most options.limits.maxFileBytes).
OpenResult openDxf(const std::string& path, const Options& options);
// The same over bytes in memory; `name` is what messages call the file.
OpenResult readDxf(std::string_view bytes, const std::string& name, const Options& options);

} // namespace qorvan::import
