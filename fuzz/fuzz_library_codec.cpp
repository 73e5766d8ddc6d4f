// Decodes arbitrary bytes as a slide library in memory, in both modes, with
// no file per input. What a strict decoding accepts must be a directory whose
// slides lie back to back inside the bytes, which a lenient decoding agrees
// with, and which re-encodes to a head the strict decoder accepts again.
// A library the decoder accepts then goes through the store as a file: the
// directory reader (the codec over a file, read in blocks) must see the same
// entries, and a rewrite that deletes its first slide must keep the others.
#include "store/edit.h"
#include "store/library.h"
#include "store/library_codec.h"
#include "store/limits.h"
#include "store/status.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <strings.h>
#include <vector>

using namespace qorvan;

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

const std::string& scratch()
{
    static const std::string dir = [] {
        char tmpl[] = "/tmp/qorvan-fuzz-library-XXXXXX";
        if (!mkdtemp(tmpl)) std::abort();
        return std::string(tmpl);
    }();
    return dir;
}

void checkInMemory(const std::uint8_t* data, std::size_t size, const DecodedLibrary& strict)
{
    const DecodedLibrary lenient = decodeLibrary(data, size, DecodeMode::Lenient);
    check(strict.magic == lenient.magic, "the modes disagree on the header");
    check(lenient.entries.size() <= size / DIRECTORY_ENTRY_SIZE, "more entries than the bytes can hold");
    check(lenient.directoryEnd <= size + DIRECTORY_ENTRY_SIZE, "directory ends beyond the bytes");
    if (!strict.ok()) {
        check(strict.entries.empty(), "a refused directory hands out entries");
        check(strict.faultOffset >= 0 && static_cast<std::size_t>(strict.faultOffset) <= size,
            "fault offset outside the bytes");
        return;
    }
    check(strict.entries.size() == lenient.entries.size(), "the modes disagree on a sound directory");
    check(strict.entries.size() <= MAX_LIBRARY_SLIDES, "more entries than the store handles");
    std::int64_t end = firstSlideOffset(strict.entries.size());
    for (std::size_t i = 0; i < strict.entries.size(); ++i) {
        const DecodedEntry& e = strict.entries[i];
        check(e.size >= 0 && e.offset >= end && e.offset + e.size <= static_cast<std::int64_t>(size),
            "a slide outside the bytes");
        check(e.size == lenient.entries[i].size, "the modes derive different sizes");
        end = e.offset;
    }
    // Written back without gaps, the same names and sizes decode again.
    std::vector<LibraryEntry> entries = strict.libraryEntries();
    std::vector<std::uint8_t> head = encodeLibraryHead(entries);
    std::int64_t total = static_cast<std::int64_t>(head.size());
    for (const LibraryEntry& e : entries)
        total += e.size;
    if (total > 64 * 1024 * 1024) return;
    head.resize(static_cast<std::size_t>(total), 0);
    const DecodedLibrary again = decodeLibrary(head.data(), head.size(), DecodeMode::Strict);
    check(again.ok() && again.entries.size() == entries.size(), "a re-encoded directory is refused");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        check(std::memcmp(again.entries[i].name.bytes, entries[i].name.bytes, SLIDE_NAME_SIZE) == 0,
            "a name changed in re-encoding");
        check(again.entries[i].size == entries[i].size, "a size changed in re-encoding");
    }
}

void checkThroughTheStore(const std::uint8_t* data, std::size_t size, const DecodedLibrary& strict)
{
    const std::string lib = scratch() + "/input.slb";
    {
        std::ofstream out(lib, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    setStatus(Ok, nullptr, nullptr);
    const std::vector<LibraryEntry> entries = readDirectory(lib.c_str());
    const std::vector<SlideName> names = listSlides(lib.c_str());
    check(entries.size() == strict.entries.size(), "the file and the bytes decode differently");
    check(entries.size() == names.size(), "listSlides and readDirectory disagree");
    for (std::size_t i = 0; i < entries.size(); ++i)
        check(entries[i].offset == strict.entries[i].offset && entries[i].size == strict.entries[i].size,
            "the file and the bytes give different slides");
    const std::string first = slideNameText(entries[0].name);
    check(deleteSlide(lib.c_str(), first.c_str()) == Ok,
        "a library the reader accepted could not be rewritten");
    std::size_t removed = 0;
    for (const LibraryEntry& e : entries)
        if (slideNameText(e.name).size() == first.size()
            && strncasecmp(e.name.bytes, first.c_str(), first.size()) == 0)
            ++removed;
    const std::vector<LibraryEntry> after = readDirectory(lib.c_str());
    check(after.size() == entries.size() - removed, "the rewrite lost or kept the wrong slides");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const DecodedLibrary strict = decodeLibrary(data, size, DecodeMode::Strict);
    checkInMemory(data, size, strict);
    if (strict.ok() && !strict.entries.empty()) checkThroughTheStore(data, size, strict);
    return 0;
}
