#include "tests/e2e/module_support.h"

#include <filesystem>

namespace qorvan::testing {

SampleDir::SampleDir()
{
    for (const auto& e : std::filesystem::directory_iterator(std::string(QORVAN_SOURCE_DIR) + "/samples")) {
        const std::string ext = e.path().extension().string();
        if (ext == ".sld" || ext == ".slb")
            std::filesystem::copy_file(e.path(), path() / e.path().filename());
    }
}

std::string SampleDir::sample(const std::string& name) const
{
    return readFile(path() / name);
}

RunResult module(const std::vector<std::string>& expressions, const std::string& cwd)
{
    std::vector<std::string> args;
    for (const std::string& e : expressions) {
        args.push_back("-e");
        args.push_back(e);
    }
    return run(binary("qorvan-console"), args, cwd);
}

} // namespace qorvan::testing
