#include "store/slide_ref.h"

#include "platform/path.h"

namespace qorvan {

namespace {

    constexpr std::string_view STORE_SLIDE_EXTENSION = ".SLD";
    constexpr std::string_view STORE_LIBRARY_EXTENSION = ".slb";
    constexpr std::string_view VIEWER_SLIDE_EXTENSION = ".SLD";
    constexpr std::string_view VIEWER_LIBRARY_EXTENSION = ".SLB";

} // namespace

SlideRef parseSlideRef(std::string_view text)
{
    SlideRef ref;
    const std::size_t open = text.find('(');
    if (open == std::string_view::npos) {
        ref.path = std::string(text);
        return ref;
    }
    ref.library = true;
    ref.path = std::string(text.substr(0, open));
    std::string_view rest = text.substr(open + 1);
    ref.name = std::string(rest.substr(0, rest.find(')')));
    return ref;
}

std::string formatSlideRef(std::string_view library, std::string_view name)
{
    std::string text(library);
    text += '(';
    text += name;
    text += ')';
    return text;
}

std::size_t finalComponentStart(std::string_view path)
{
    std::size_t start = (path.size() >= 2 && path[1] == ':') ? 2 : 0;
    for (std::size_t i = start; i < path.size(); ++i)
        if (platform::isSeparator(path[i])) start = i + 1;
    return start;
}

std::string libraryStem(std::string_view libraryFile)
{
    const std::size_t start = finalComponentStart(libraryFile);
    const std::size_t dot = libraryFile.rfind('.');
    if (dot == std::string_view::npos || dot < start) return std::string(libraryFile);
    return std::string(libraryFile.substr(0, dot));
}

std::string slideFileName(std::string_view path)
{
    // Only the file's own name decides: a dot in a folder name
    // (c:\v1.2\box) says nothing about the file's extension.
    std::string text(path);
    if (text.find('.', finalComponentStart(text)) == std::string::npos) text += STORE_SLIDE_EXTENSION;
    return text;
}

std::string libraryFileName(std::string_view libraryPath)
{
    std::string text(libraryPath);
    if (platform::toLowerAscii(text).find(STORE_LIBRARY_EXTENSION) == std::string::npos)
        text += STORE_LIBRARY_EXTENSION;
    return text;
}

ViewerSlideFile viewerSlideFile(std::string_view path)
{
    ViewerSlideFile out;
    out.file = platform::toUpperAscii(path);
    if (out.file.find('.') == std::string::npos)
        out.file += VIEWER_SLIDE_EXTENSION;
    else
        out.usable = out.file.find(VIEWER_SLIDE_EXTENSION) != std::string::npos;
    return out;
}

std::string viewerLibraryFile(std::string_view libraryPath)
{
    return std::string(libraryPath) + std::string(VIEWER_LIBRARY_EXTENSION);
}

std::string viewerSlideExtension(std::string_view ref)
{
    std::string text(ref);
    if (text.find('.') == std::string::npos) text += VIEWER_SLIDE_EXTENSION;
    return text;
}

} // namespace qorvan
