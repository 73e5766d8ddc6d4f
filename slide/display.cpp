// From a SlideRef to an open stream at the slide's first header byte.
#include "slide/display.h"

#include <cstring>
#include <string>

#include "platform/io.h"
#include "platform/path.h"
#include "store/library_codec.h"
#include "store/status.h"

namespace qorvan::slide {

namespace {

    constexpr const char* SLIDE_EXTENSION = ".SLD";
    constexpr const char* LIBRARY_EXTENSION = ".SLB";

    // A reference that does not fit the buffers is refused whole: cutting it
    // could name, and draw, a different file.
    StatusCode refuseLong(const char* ref)
    {
        return setStatus(CannotOpen, ref, nullptr);
    }

    StatusCode drawOpenFile(SlideRenderer& renderer, platform::File& file)
    {
        FileStream stream(file);
        StatusCode result = drawSlideStream(renderer, stream);
        file.close();
        return result;
    }

} // namespace

StatusCode showSlide(Window* window, const char* slideRef)
{
    if (!window) return Ok;
    window->InvalidateAndUpdate();
    Surface* surface = window->GetSurface();
    if (!surface) return Ok;
    Rect client = window->GetClientRect();
    Handle region = surface->CreateRectRgn(0, 0, client.width(), client.height());
    surface->SelectClipRgn(region);
    SlideRenderer renderer;
    StatusCode result = drawSlideRef(renderer, window, surface, slideRef);
    surface->DeleteObject(region);
    window->ReleaseSurface(surface);
    return result;
}

StatusCode drawSlideRef(SlideRenderer& renderer, Window* window, Surface* surface, const char* slideRef)
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

StatusCode drawSlideFile(SlideRenderer& renderer, const char* path)
{
    if (std::strlen(path) > static_cast<std::size_t>(FILE_REF_MAX)) return refuseLong(path);
    std::string name = platform::toUpperAscii(path);
    if (name.find('.') != std::string::npos) {
        if (name.find(SLIDE_EXTENSION) == std::string::npos) return setStatus(InvalidSlide, nullptr, nullptr);
    } else {
        if (name.size() + std::strlen(SLIDE_EXTENSION) > static_cast<std::size_t>(FILE_REF_MAX))
            return refuseLong(path);
        name += SLIDE_EXTENSION;
    }
    platform::File file = platform::File::open(name, platform::OpenMode::Read);
    if (!file.isOpen()) return setStatus(CannotOpen, name.c_str(), nullptr);
    return drawOpenFile(renderer, file);
}

StatusCode drawLibrarySlide(SlideRenderer& renderer, const char* libraryPath, const char* slideName)
{
    std::string libraryFile = std::string(libraryPath) + LIBRARY_EXTENSION;
    if (libraryFile.size() > static_cast<std::size_t>(platform::MAX_PATH_CHARS))
        return refuseLong(libraryFile.c_str());
    platform::File file = platform::File::open(libraryFile, platform::OpenMode::Read);
    if (!file.isOpen()) return setStatus(CannotOpen, libraryFile.c_str(), nullptr);

    std::string wanted = platform::toUpperAscii(slideName);
    // The scan ends at the terminating entry or, when a library has none, at
    // the end of the file; both mean the slide is not there. The first entry
    // whose name matches exactly wins.
    bool found = false;
    std::int32_t offset = 0;
    DecodedLibrary d = decodeLibrary(file, DecodeMode::Lenient, [&](const DecodedEntry& e) {
        if (slideNameText(e.name) != wanted) return true;
        found = true;
        offset = e.offset;
        return false;
    });
    if (!d.magic) {
        file.close();
        return setStatus(InvalidLibrary, nullptr, nullptr);
    }
    if (found) {
        // An offset the file cannot reach draws nothing: the header read
        // finds no bytes. Offsets are taken as unsigned, so a negative one
        // is out of reach too.
        if (!file.seek(static_cast<std::int64_t>(static_cast<std::uint32_t>(offset)))) {
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
