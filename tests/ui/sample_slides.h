// The project's sample slides (made by its own generator), as test input.
#pragma once

#include "tests/support/tempdir.h"

#include <filesystem>
#include <string>

namespace qorvan::testing {

inline std::string sampleSlide(const std::string& name)
{
    return qorvan::testing::readFile(std::filesystem::path(QORVAN_SOURCE_DIR) / "samples" / name);
}

} // namespace qorvan::testing
