// The directory reader: opens a library, checks its header and loads its
// directory, refusing any directory whose slides could not be where it says.
#include "store/library.h"

#include "platform/io.h"
#include "store/directory_p.h"
#include "store/layout_p.h"
#include "store/limits.h"
#include "store/status.h"

#include <new>

namespace qorvan {

namespace detail {

namespace {

// Entries are read in blocks: one call per entry would make a directory of
// many slides cost as many reads.
constexpr std::size_t ENTRIES_PER_BLOCK = 1820;

// Loads the entries up to the terminating one. False (code recorded) when
// the file ends first, or holds more entries than the store handles.
bool loadEntries(platform::File& file, std::int64_t length, std::vector<LibraryEntry>& entries)
{
    std::vector<unsigned char> block(ENTRIES_PER_BLOCK * DIRECTORY_ENTRY_SIZE);
    std::int64_t pos = LIBRARY_HEADER_SIZE;
    for (;;) {
        std::int64_t left = length - pos;
        if (left < 1) return setStatus(InvalidLibrary, nullptr, nullptr), false;
        std::size_t want = block.size();
        if (static_cast<std::int64_t>(want) > left) want = static_cast<std::size_t>(left);
        std::size_t got = file.read(block.data(), want);
        if (got != want) return setStatus(InvalidLibrary, nullptr, nullptr), false;
        for (std::size_t at = 0; at < got; at += DIRECTORY_ENTRY_SIZE) {
            const unsigned char* e = block.data() + at;
            if (e[ENTRY_NAME_OFFSET] == 0) return true;
            // Only the first byte of the terminating entry is examined, but
            // every other entry must be whole.
            if (got - at < DIRECTORY_ENTRY_SIZE) return setStatus(InvalidLibrary, nullptr, nullptr), false;
            if (entries.size() == MAX_LIBRARY_SLIDES) return setStatus(InvalidLibrary, nullptr, nullptr), false;
            LibraryEntry entry;
            std::memcpy(entry.name.bytes, e + ENTRY_NAME_OFFSET, SLIDE_NAME_SIZE);
            entry.offset = getInt32(e + ENTRY_OFFSET_OFFSET);
            entries.push_back(entry);
        }
        pos += static_cast<std::int64_t>(got);
    }
}

// Every slide must lie after the directory, in order, inside the file, so
// every derived size is between 0 and the file's length.
bool sizeEntries(std::vector<LibraryEntry>& entries, std::int64_t length)
{
    std::int64_t floor = firstSlideOffset(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::int64_t off = entries[i].offset;
        std::int64_t next = i + 1 < entries.size() ? entries[i + 1].offset : length;
        if (off < floor || next < off || next > length) return false;
        entries[i].size = static_cast<std::int32_t>(next - off);
        floor = off;
    }
    return true;
}

} // namespace

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
    unsigned char header[LIBRARY_HEADER_SIZE];
    if (!file.readExact(header, sizeof header) || !headerIsValid(header)) {
        setStatus(InvalidLibrary, nullptr, nullptr);
        return {};
    }
    std::int64_t length = file.length();
    if (length < 0) {
        setStatus(CannotOpen, lib.readerText.c_str(), nullptr);
        return {};
    }
    // Offsets are signed 32-bit: a longer file cannot be described.
    if (length > MAX_LIBRARY_BYTES) {
        setStatus(InvalidLibrary, nullptr, nullptr);
        return {};
    }
    std::vector<LibraryEntry> entries;
    if (!file.seek(LIBRARY_HEADER_SIZE)) {
        setStatus(CannotOpen, lib.readerText.c_str(), nullptr);
        return {};
    }
    if (!loadEntries(file, length, entries)) return {};
    if (entries.empty()) {
        setStatus(EmptyLibrary, lib.written.c_str(), nullptr);
        return {};
    }
    if (!sizeEntries(entries, length)) {
        setStatus(InvalidLibrary, nullptr, nullptr);
        return {};
    }
    return entries;
}

bool isEmptyLibrary(const LibraryFile& lib)
{
    platform::File file = platform::File::openNative(lib.native, platform::OpenMode::Read);
    if (!file.isOpen()) return false;
    unsigned char bytes[LIBRARY_HEADER_SIZE + 1];
    return file.readExact(bytes, sizeof bytes) && headerIsValid(bytes) && bytes[LIBRARY_HEADER_SIZE] == 0;
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
        for (const LibraryEntry& e : entries) names.push_back(e.name);
        return names;
    } catch (const std::bad_alloc&) {
        setStatus(NoMemory, nullptr, nullptr);
        return {};
    }
}

} // namespace qorvan
