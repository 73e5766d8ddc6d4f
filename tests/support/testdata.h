// Where the real slide files made by other software are: QORVAN_TESTDATA in
// the environment when set, else the folder the build was configured with
// (../shared/testdata beside the repository). Tests that need them skip when
// the folder is absent, so the project passes its own tests from any clone.
#pragma once

#include <cstdlib>
#include <filesystem>

namespace qorvan::testing {

inline std::filesystem::path testdataDir()
{
    if (const char* env = std::getenv("QORVAN_TESTDATA"); env != nullptr && *env != '\0') return env;
    return QORVAN_TESTDATA_DIR;
}

} // namespace qorvan::testing
