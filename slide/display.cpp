// From a SlideRef to an open stream at the slide's first header byte.
#include "slide/display.h"

#include <cstring>
#include <string>

#include "platform/io.h"
#include "platform/path.h"
#include "slide/slide_source.h"
#include "store/library_codec.h"
#include "store/slide_ref.h"
#include "store/status.h"

namespace qorvan::slide {

namespace {

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

namespace {

    template <typename Draw> StatusCode showOn(Window* window, const Draw& draw)
    {
        if (!window) return Ok;
        window->InvalidateAndUpdate();
        Surface* surface = window->GetSurface();
        if (!surface) return Ok;
        Rect client = window->GetClientRect();
        Handle region = surface->CreateRectRgn(0, 0, client.width(), client.height());
        surface->SelectClipRgn(region);
        SlideRenderer renderer;
        StatusCode result = draw(renderer, surface);
        surface->DeleteObject(region);
        window->ReleaseSurface(surface);
        return result;
    }

} // namespace

StatusCode showSlide(Window* window, const char* slideRef, RefRules rules)
{
    return showOn(window, [&](SlideRenderer& renderer, Surface* surface) {
        if (rules == RefRules::Viewer) return drawSlideRef(renderer, window, surface, slideRef);
        renderer.window = window;
        renderer.surface = surface;
        const ToolRef found = resolveToolRef(slideRef ? slideRef : "");
        if (!found.library) return drawFileAsWritten(renderer, found.file.c_str());
        return drawFromLibrary(renderer, found.file, found.name, NameMatch::AnyCase);
    });
}

StatusCode drawSlideRef(SlideRenderer& renderer, Window* window, Surface* surface, const char* slideRef)
{
    renderer.window = window;
    renderer.surface = surface;
    const char* ref = slideRef ? slideRef : "";
    const SlideRef parsed = parseSlideRef(ref);
    if (!parsed.library) return drawSlideFile(renderer, ref);
    if (std::strlen(ref) > static_cast<std::size_t>(LIBRARY_REF_MAX)) return refuseLong(ref);
    return drawLibrarySlide(renderer, parsed.path.c_str(), parsed.name.c_str());
}

StatusCode drawSlideFile(SlideRenderer& renderer, const char* path)
{
    if (std::strlen(path) > static_cast<std::size_t>(FILE_REF_MAX)) return refuseLong(path);
    const ViewerSlideFile name = viewerSlideFile(path);
    if (!name.usable) return setStatus(InvalidSlide, nullptr, nullptr);
    if (name.file.size() > static_cast<std::size_t>(FILE_REF_MAX)) return refuseLong(path);
    return drawFileAsWritten(renderer, name.file.c_str());
}

StatusCode drawFileAsWritten(SlideRenderer& renderer, const char* path)
{
    platform::File file = platform::File::open(path, platform::OpenMode::Read);
    if (!file.isOpen()) return setStatus(CannotOpen, path, nullptr);
    return drawOpenFile(renderer, file);
}

StatusCode drawLibrarySlide(SlideRenderer& renderer, const char* libraryPath, const char* slideName)
{
    std::string libraryFile = viewerLibraryFile(libraryPath);
    if (libraryFile.size() > static_cast<std::size_t>(platform::MAX_PATH_CHARS))
        return refuseLong(libraryFile.c_str());
    return drawFromLibrary(renderer, libraryFile, slideName, NameMatch::Exact);
}

StatusCode drawFromLibrary(
    SlideRenderer& renderer, const std::string& libraryFile, const std::string& slideName, NameMatch match)
{
    platform::File file = platform::File::open(libraryFile, platform::OpenMode::Read);
    if (!file.isOpen()) return setStatus(CannotOpen, libraryFile.c_str(), nullptr);

    std::string wanted = platform::toUpperAscii(slideName);
    // The scan ends at the terminating entry or, when a library has none, at
    // the end of the file; both mean the slide is not there. The first entry
    // whose name matches wins.
    const FoundSlide f = findSlideEntry(file, wanted, match);
    if (!f.library.magic) {
        file.close();
        return setStatus(InvalidLibrary, nullptr, nullptr);
    }
    if (f.found) {
        // An offset the file cannot reach draws nothing: the header read
        // finds no bytes. Offsets are taken as unsigned, so a negative one
        // is out of reach too.
        if (!file.seek(static_cast<std::int64_t>(static_cast<std::uint32_t>(f.entry.offset)))) {
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
