// The directory reader: opens a library and decodes its directory strictly,
// refusing any directory whose slides could not be where it says.
#include "store/library.h"

#include "platform/io.h"
#include "store/directory_p.h"
#include "store/library_codec.h"
#include "store/limits.h"
#include "store/status.h"

#include <new>

namespace qorvan {

namespace detail {

    std::vector<LibraryEntry> readDirectoryOf(const LibraryFile& lib)
    {
        if (lib.tooLong || lib.native.empty()) {
            setStatus(CannotOpen, lib.readerText.c_str(), nullptr);
            return {};
        }
        platform::File file = platform::File::openNative(lib.native, platform::OpenMode::Read);
        if (!file.isOpen()) {
            setStatus(CannotOpen, lib.readerText.c_str(), nullptr);
            return {};
        }
        return readDirectoryFrom(file, lib);
    }

    std::vector<LibraryEntry> readDirectoryFrom(platform::File& file, const LibraryFile& lib)
    {
        std::vector<LibraryEntry> entries;
        const DecodedLibrary d = decodeDirectory(file, entries);
        if (!d.ok()) {
            StatusCode code = libraryFaultStatus(d.fault);
            setStatus(code, code == CannotOpen ? lib.readerText.c_str() : nullptr, nullptr);
            return {};
        }
        if (entries.empty()) setStatus(EmptyLibrary, lib.written.c_str(), nullptr);
        return entries;
    }

    bool isEmptyLibrary(const LibraryFile& lib)
    {
        platform::File file = platform::File::openNative(lib.native, platform::OpenMode::Read);
        if (!file.isOpen()) return false;
        std::uint8_t bytes[LIBRARY_HEADER_SIZE + 1];
        return file.readExact(bytes, sizeof bytes) && libraryHeaderIsValid(bytes, sizeof bytes)
            && bytes[LIBRARY_HEADER_SIZE] == 0;
    }

} // namespace detail

std::vector<LibraryEntry> readDirectory(const char* library)
{
    try {
        return detail::readDirectoryOf(detail::resolveLibrary(library));
    } catch (const std::bad_alloc&) {
        setStatus(NoMemory, nullptr, nullptr);
        return {};
    }
}

std::vector<SlideName> listSlides(const char* library)
{
    try {
        std::vector<LibraryEntry> entries = readDirectory(library);
        std::vector<SlideName> names;
        names.reserve(entries.size());
        for (const LibraryEntry& e : entries)
            names.push_back(e.name);
        return names;
    } catch (const std::bad_alloc&) {
        setStatus(NoMemory, nullptr, nullptr);
        return {};
    }
}

} // namespace qorvan
