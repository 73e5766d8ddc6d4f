// Runs a program as a black box: arguments, working directory and standard
// input in; standard output, standard error and exit status out.
#pragma once

#include <string>
#include <vector>

namespace qorvan::testing {

struct RunResult {
    std::string out;
    std::string err;
    int status = -1; // exit status, or 128 + signal
};

RunResult run(const std::string& program, const std::vector<std::string>& args, const std::string& cwd = "",
    const std::string& input = "");

// build/bin/qorvan-console and friends.
std::string binary(const std::string& name);

} // namespace qorvan::testing
