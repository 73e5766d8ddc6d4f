// Path splitting and ASCII case handling.
#include "platform/path.h"

namespace qorvan::platform {

PathParts splitPath(std::string_view path)
{
    PathParts parts;
    std::size_t pos = 0;
    if (path.size() >= 2 && path[1] == ':') {
        parts.drive = std::string(path.substr(0, 2));
        pos = 2;
    }
    std::size_t lastSep = std::string_view::npos;
    for (std::size_t i = pos; i < path.size(); ++i)
        if (isSeparator(path[i])) lastSep = i;
    if (lastSep != std::string_view::npos) {
        parts.dir = std::string(path.substr(pos, lastSep + 1 - pos));
        pos = lastSep + 1;
    }
    std::string_view name = path.substr(pos);
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        parts.base = std::string(name);
    } else {
        parts.base = std::string(name.substr(0, dot));
        parts.ext = std::string(name.substr(dot));
    }
    return parts;
}

std::string nativeFolderOf(std::string_view nativePath)
{
    const std::size_t slash = nativePath.rfind('/');
    if (slash == std::string_view::npos) return ".";
    return slash == 0 ? "/" : std::string(nativePath.substr(0, slash));
}

std::string nativeNameOf(std::string_view nativePath)
{
    const std::size_t slash = nativePath.rfind('/');
    return std::string(slash == std::string_view::npos ? nativePath : nativePath.substr(slash + 1));
}

char toLowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char toUpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string toLowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = toLowerAscii(c);
    return out;
}

std::string toUpperAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = toUpperAscii(c);
    return out;
}

int compareNoCase(std::string_view a, std::string_view b)
{
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(toLowerAscii(a[i]));
        auto cb = static_cast<unsigned char>(toLowerAscii(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && compareNoCase(a, b) == 0;
}

} // namespace qorvan::platform
