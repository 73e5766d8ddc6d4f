// SVG drawings for `qorvan make`: the document read with expat, then its
// geometry (paths, basic shapes, groups, use, nested viewports, transforms)
// and paint (every CSS colour form, inherited, gradients as their mean
// colour) turned into slide shapes in the palette's colours.
#pragma once

#include <string>
#include <string_view>

#include "import/drawing.h"

namespace qorvan::import {

// Reads the SVG file at path. Errors name the file ("FILE: reason").
OpenResult openSvg(const std::string& path, const Options& options);

// The same over bytes already in memory; name is used in messages.
OpenResult openSvgBytes(std::string_view bytes, const std::string& name, const Options& options);

} // namespace qorvan::import
