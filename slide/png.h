// PNG output of a raster surface (8-bit RGB).
#pragma once

#include <string>

#include "slide/raster_surface.h"

namespace qorvan::slide {

// Writes the surface to path (a user path, see platform/io.h). False on any
// failure, with a partial file removed.
bool writePng(const RasterSurface& surface, const std::string& path);

} // namespace qorvan::slide
