// A scratch folder for the harnesses that must go through real files. It is
// made once per process and removed, with what is in it, when the process
// exits: a fuzzing run is many processes (every CI run, every -jobs worker),
// and each used to leave its folder behind in /tmp.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace qorvan::fuzz {

inline std::string& scratchPath()
{
    static std::string path;
    return path;
}

inline void removeScratch()
{
    std::error_code ignored;
    std::filesystem::remove_all(scratchPath(), ignored);
}

// The folder's name starts with /tmp/qorvan-fuzz-NAME-.
inline const std::string& scratchFolder(const char* name)
{
    std::string& path = scratchPath();
    if (path.empty()) {
        std::string pattern = std::string("/tmp/qorvan-fuzz-") + name + "-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        path = pattern;
        std::atexit(removeScratch);
    }
    return path;
}

} // namespace qorvan::fuzz
