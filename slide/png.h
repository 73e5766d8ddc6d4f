// PNG output of a raster surface (8-bit RGB).
#pragma once

#include <string>

#include "slide/raster_surface.h"

namespace qorvan::slide {

// Writes the surface to path (a user path, see platform/io.h). False on any
// failure, with a partial file removed.
bool writePng(const RasterSurface& surface, const std::string& path);

// The same, with the pixels whose value is exactly *transparent (when given)
// written fully transparent. Pass a value outside the 24 colour bits (such
// as TRANSPARENT_BACKGROUND) so that no drawn colour can match it.
bool writePngTransparent(const RasterSurface& surface, const std::string& path, const ColorRef* transparent);
// The same PNG in memory.
bool encodePng(const RasterSurface& surface, std::string& out, const ColorRef* transparent);
// The same from an indexed surface; false for one that overflowed.
bool encodePng(const IndexedRasterSurface& surface, std::string& out, const ColorRef* transparent);
inline constexpr ColorRef TRANSPARENT_BACKGROUND = 0xFF000000u;

} // namespace qorvan::slide
