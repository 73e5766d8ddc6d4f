// Every drawing format `qorvan make` reads, chosen by the file's extension.
#pragma once

#include <string>

#include "import/drawing.h"

namespace qorvan::import {

// The importer for path's extension (.dxf, .svg; case does not matter), or an
// error that names the file and the formats read.
OpenResult openDrawing(const std::string& path, const Options& options);

} // namespace qorvan::import
