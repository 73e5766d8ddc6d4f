// From a SlideRef to an open stream at the slide's first header byte.
#include "slide/display.h"

#include <cstring>
#include <string>

#include "platform/io.h"
#include "platform/path.h"
#include "store/library.h"
#include "store/status.h"

namespace qorvan::slide {

namespace {

constexpr const char* SLIDE_EXTENSION = ".SLD";
constexpr const char* LIBRARY_EXTENSION = ".SLB";

// A reference that does not fit the buffers is refused whole: cutting it
// could name, and draw, a different file.
int refuseLong(const char* ref) { return setStatus(CannotOpen, ref, nullptr); }

int drawOpenFile(SlideRenderer& renderer, platform::File& file)
{
    FileStream stream(file);
    int result = drawSlideStream(renderer, stream);
    file.close();
    return result;
}

} // namespace

int showSlide(Window* window, const char* slideRef)
{
    if (!window) return Ok;
    window->InvalidateAndUpdate();
    Surface* surface = window->GetSurface();
    if (!surface) return Ok;
    Rect client = window->GetClientRect();
    Handle region = surface->CreateRectRgn(0, 0, client.width(), client.height());
    surface->SelectClipRgn(region);
    SlideRenderer renderer;
    int result = drawSlideRef(renderer, window, surface, slideRef);
    surface->DeleteObject(region);
    window->ReleaseSurface(surface);
    return result;
}

int drawSlideRef(SlideRenderer& renderer, Window* window, Surface* surface, const char* slideRef)
{
    renderer.window = window;
    renderer.surface = surface;
    const char* ref = slideRef ? slideRef : "";
    const char* open = std::strchr(ref, '(');
    if (!open) return drawSlideFile(renderer, ref);
    if (std::strlen(ref) > static_cast<std::size_t>(LIBRARY_REF_MAX)) return refuseLong(ref);
    std::string library(ref, static_cast<std::size_t>(open - ref));
    std::string name(open + 1);
    name = name.substr(0, name.find(')'));
    return drawLibrarySlide(renderer, library.c_str(), name.c_str());
}

int drawSlideFile(SlideRenderer& renderer, const char* path)
{
    if (std::strlen(path) > static_cast<std::size_t>(FILE_REF_MAX)) return refuseLong(path);
    std::string name = platform::toUpperAscii(path);
    if (name.find('.') != std::string::npos) {
        if (name.find(SLIDE_EXTENSION) == std::string::npos) return setStatus(InvalidSlide, nullptr, nullptr);
    } else {
        if (name.size() + std::strlen(SLIDE_EXTENSION) > static_cast<std::size_t>(FILE_REF_MAX)) return refuseLong(path);
        name += SLIDE_EXTENSION;
    }
    platform::File file = platform::File::open(name, platform::OpenMode::Read);
    if (!file.isOpen()) return setStatus(CannotOpen, name.c_str(), nullptr);
    return drawOpenFile(renderer, file);
}

int drawLibrarySlide(SlideRenderer& renderer, const char* libraryPath, const char* slideName)
{
    std::string libraryFile = std::string(libraryPath) + LIBRARY_EXTENSION;
    if (libraryFile.size() > static_cast<std::size_t>(platform::MAX_PATH_CHARS)) return refuseLong(libraryFile.c_str());
    platform::File file = platform::File::open(libraryFile, platform::OpenMode::Read);
    if (!file.isOpen()) return setStatus(CannotOpen, libraryFile.c_str(), nullptr);

    char header[LIBRARY_HEADER_SIZE + 1] = {};
    file.read(header, LIBRARY_HEADER_SIZE);
    if (std::strcmp(header, LIBRARY_MAGIC) != 0) {
        file.close();
        return setStatus(InvalidLibrary, nullptr, nullptr);
    }
    std::string wanted = platform::toUpperAscii(slideName);
    // The scan ends at the terminating entry or, when a library has none, at
    // the end of the file; both mean the slide is not there.
    for (;;) {
        std::uint8_t entry[DIRECTORY_ENTRY_SIZE];
        if (!file.readExact(entry, DIRECTORY_ENTRY_SIZE) || entry[ENTRY_NAME_OFFSET] == 0) break;
        const char* entryName = reinterpret_cast<const char*>(entry + ENTRY_NAME_OFFSET);
        std::size_t len = strnlen(entryName, SLIDE_NAME_SIZE);
        if (len != wanted.size() || std::memcmp(entryName, wanted.data(), len) != 0) continue;
        const std::uint8_t* o = entry + ENTRY_OFFSET_OFFSET;
        std::uint32_t offset = std::uint32_t{o[0]} | std::uint32_t{o[1]} << 8 | std::uint32_t{o[2]} << 16 | std::uint32_t{o[3]} << 24;
        // An offset the file cannot reach draws nothing: the header read
        // finds no bytes.
        if (!file.seek(static_cast<std::int64_t>(offset))) {
            MemoryStream empty(nullptr, 0);
            file.close();
            return drawSlideStream(renderer, empty);
        }
        return drawOpenFile(renderer, file);
    }
    file.close();
    return setStatus(SlideNotFound, libraryFile.c_str(), wanted.c_str());
}

} // namespace qorvan::slide
