// The inputs every inspect test can run over: the real files made by other
// software (when ../shared is there) and every fuzz corpus file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace qorvan::testing {

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

inline std::vector<std::filesystem::path> filesUnder(const std::filesystem::path& root)
{
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec)) return out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root, ec))
        if (e.is_regular_file()) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

inline std::vector<std::filesystem::path> realSlideFiles(const std::string& extension)
{
    std::vector<std::filesystem::path> out;
    for (const auto& p : filesUnder(std::filesystem::path(QORVAN_TESTDATA_DIR) / "real")) {
        std::string ext = p.extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(),
            [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (ext == extension) out.push_back(p);
    }
    return out;
}

} // namespace qorvan::testing
