// The sections of a DXF file read into a Model: the layer table, the blocks
// and the model space's entities, each entity through its type's parser.
#pragma once

#include <string>
#include <string_view>

#include "import/drawing.h"
#include "import/dxf_model.h"

namespace qorvan::import::dxf {

// False with `error` set (without the file's name) when the file cannot be
// read or a bound in options is reached; sections cut short keep what they
// hold.
bool readModel(
    std::string_view text, const std::string& name, const Options& options, Model& model, std::string& error);

} // namespace qorvan::import::dxf
