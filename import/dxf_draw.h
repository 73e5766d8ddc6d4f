// A read DXF drawing as a Source: entities drawn in plan view through the
// block references, layers and colours that hold them.
#pragma once

#include <memory>
#include <string>

#include "import/drawing.h"
#include "import/dxf_model.h"

namespace qorvan::import::dxf {

// Takes the model over; null with `error` set when a bound is reached while
// finding its extents.
std::unique_ptr<Source> makeSource(
    Model&& model, const Options& options, std::string name, std::string& error);

} // namespace qorvan::import::dxf
