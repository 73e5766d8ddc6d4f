// Running qorvan-console with qorvan.arx over a scratch copy of samples/,
// and the exact texts the module prints.
#pragma once

#include "tests/e2e/run.h"
#include "tests/support/tempdir.h"

#include <string>
#include <vector>

namespace qorvan::testing {

inline const std::string TOOLKIT_BANNER = "\nQorvan toolkit for release 15 hosts: slide libraries and slides"
                                          "\nCopyright (c) 2026 The Qorvan developers, MIT licence"
                                          "\nRVK portions created on Sep 23 1999, 03:59:38\n";
inline const std::string BANNER
    = "\nQorvan & Library Handling Functions\nVersion 1.5 by the Qorvan developers\n";
inline const std::string TOO_FEW = "\nerror: to few arguments\n";
inline const std::string INVALID = "\nerror: invalid argument\n";
inline const std::string SAMPLE_NAMES = "(\"BOX\" \"CIRCLE\" \"GEAR\" \"STAR\")";

// A scratch directory holding a copy of the committed samples.
class SampleDir : public TempDir {
public:
    SampleDir();
    std::string sample(const std::string& name) const;
};

// qorvan-console with the default module, one -e per expression, in cwd.
RunResult module(const std::vector<std::string>& expressions, const std::string& cwd);

} // namespace qorvan::testing
