// Path splitting and ASCII case handling, as the platform runtime the module
// was written for did them. Pure string functions: nothing here touches disk.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qorvan::platform {

// Paths and names are held in 256-byte buffers by every caller: at most 255
// characters and the terminating NUL.
inline constexpr std::size_t PATH_BUFFER = 256;
inline constexpr std::size_t MAX_PATH_CHARS = PATH_BUFFER - 1;

// The four parts of a path. drive is "X:" or empty; dir runs up to and
// including the last '\' or '/'; ext starts at the last '.' of the final
// component (and includes it); base is what lies between.
struct PathParts {
    std::string drive;
    std::string dir;
    std::string base;
    std::string ext;
};

PathParts splitPath(std::string_view path);

// The folder and the file name of a path in native form ('/' only): the
// folder is "." for a bare name and "/" for a file at the root.
std::string nativeFolderOf(std::string_view nativePath);
std::string nativeNameOf(std::string_view nativePath);

char toLowerAscii(char c);
char toUpperAscii(char c);
std::string toLowerAscii(std::string_view s);
std::string toUpperAscii(std::string_view s);

// Byte comparison after ASCII lower-casing; other bytes compare as unsigned.
int compareNoCase(std::string_view a, std::string_view b);
bool equalsNoCase(std::string_view a, std::string_view b);

inline bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

} // namespace qorvan::platform
