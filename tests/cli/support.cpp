#include "tests/cli/support.h"
#include "tests/support/testdata.h"

#include <png.h>

#include <algorithm>
#include <cstring>

#include "platform/path.h"
#include "store/library.h"

namespace qorvan::testing {

RunResult qorvan(const std::vector<std::string>& args, const std::string& cwd)
{
    return run(binary("qorvan"), args, cwd);
}

Image readPng(const std::string& path)
{
    Image out;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return out;
    out.width = image.width;
    out.height = image.height;
    out.rgba = std::move(pixels);
    return out;
}

bool wellFormed(const std::string& t, std::vector<std::string>* elements)
{
    std::vector<std::string> open;
    std::size_t i = 0;
    while ((i = t.find('<', i)) != std::string::npos) {
        if (t.compare(i, 5, "<?xml") == 0) {
            i = t.find("?>", i);
            if (i == std::string::npos) return false;
            continue;
        }
        std::size_t end = i + 1;
        char quote = 0;
        for (; end < t.size(); ++end) {
            if (quote) {
                if (t[end] == quote) quote = 0;
            } else if (t[end] == '"' || t[end] == '\'') {
                quote = t[end];
            } else if (t[end] == '>') {
                break;
            } else if (t[end] == '<') {
                return false;
            }
        }
        if (end >= t.size()) return false;
        std::string tag = t.substr(i + 1, end - i - 1);
        i = end + 1;
        if (tag.empty()) return false;
        if (tag[0] == '/') {
            if (open.empty() || open.back() != tag.substr(1)) return false;
            open.pop_back();
            continue;
        }
        bool selfClosing = tag.back() == '/';
        std::string name = tag.substr(0, tag.find_first_of(" \t\n/"));
        if (elements) elements->push_back(name);
        if (!selfClosing) open.push_back(name);
    }
    return open.empty();
}

std::size_t countOf(const std::vector<std::string>& elements, const std::string& name)
{
    return static_cast<std::size_t>(std::count(elements.begin(), elements.end(), name));
}

std::vector<std::filesystem::path> realFiles(const std::string& extension)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> out;
    fs::path root = qorvan::testing::testdataDir();
    std::error_code ec;
    if (!fs::is_directory(root, ec)) return out;
    for (const auto& e : fs::recursive_directory_iterator(root, ec))
        if (e.is_regular_file() && platform::toLowerAscii(e.path().extension().string()) == extension)
            out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

std::string makeLibrary(const std::vector<std::pair<std::string, std::string>>& slides)
{
    std::string lib(LIBRARY_MAGIC, LIBRARY_MAGIC_LENGTH);
    lib.append(4, '\0');
    std::size_t offset = LIBRARY_HEADER_SIZE + DIRECTORY_ENTRY_SIZE * (slides.size() + 1);
    std::string body;
    for (const auto& [name, bytes] : slides) {
        std::string field = name.substr(0, SLIDE_NAME_SIZE);
        field.resize(SLIDE_NAME_SIZE, '\0');
        lib += field;
        for (int k = 0; k < 4; ++k)
            lib.push_back(static_cast<char>((offset >> (8 * k)) & 0xFF));
        offset += bytes.size();
        body += bytes;
    }
    lib.append(DIRECTORY_ENTRY_SIZE, '\0');
    return lib + body;
}

} // namespace qorvan::testing
