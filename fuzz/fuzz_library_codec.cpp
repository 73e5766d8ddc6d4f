// Decodes arbitrary bytes as a slide library in memory, in both modes, with
// no file per input. What a strict decoding accepts must be a directory whose
// slides lie back to back inside the bytes, which a lenient decoding agrees
// with, and which re-encodes to a head the strict decoder accepts again.
#include "store/library_codec.h"
#include "store/limits.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodedLibrary strict = decodeLibrary(data, size, DecodeMode::Strict);
    DecodedLibrary lenient = decodeLibrary(data, size, DecodeMode::Lenient);
    check(strict.magic == lenient.magic, "the modes disagree on the header");
    check(lenient.entries.size() <= size / DIRECTORY_ENTRY_SIZE, "more entries than the bytes can hold");
    check(lenient.directoryEnd <= size + DIRECTORY_ENTRY_SIZE, "directory ends beyond the bytes");
    if (!strict.ok()) {
        check(strict.entries.empty(), "a refused directory hands out entries");
        check(strict.faultOffset >= 0 && static_cast<std::size_t>(strict.faultOffset) <= size,
              "fault offset outside the bytes");
        return 0;
    }
    check(strict.entries.size() == lenient.entries.size(), "the modes disagree on a sound directory");
    check(strict.entries.size() <= MAX_LIBRARY_SLIDES, "more entries than the store handles");
    std::int64_t end = firstSlideOffset(strict.entries.size());
    std::vector<LibraryEntry> entries = strict.libraryEntries();
    for (std::size_t i = 0; i < strict.entries.size(); ++i) {
        const DecodedEntry& e = strict.entries[i];
        check(e.size >= 0 && e.offset >= end && e.offset + e.size <= static_cast<std::int64_t>(size),
              "a slide outside the bytes");
        check(e.size == lenient.entries[i].size, "the modes derive different sizes");
        end = e.offset;
    }
    // Written back without gaps, the same names and sizes decode again.
    std::vector<std::uint8_t> head = encodeLibraryHead(entries);
    std::int64_t total = static_cast<std::int64_t>(head.size());
    for (const LibraryEntry& e : entries) total += e.size;
    if (total > 64 * 1024 * 1024) return 0;
    head.resize(static_cast<std::size_t>(total), 0);
    DecodedLibrary again = decodeLibrary(head.data(), head.size(), DecodeMode::Strict);
    check(again.ok() && again.entries.size() == entries.size(), "a re-encoded directory is refused");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        check(std::memcmp(again.entries[i].name.bytes, entries[i].name.bytes, SLIDE_NAME_SIZE) == 0,
              "a name changed in re-encoding");
        check(again.entries[i].size == entries[i].size, "a size changed in re-encoding");
    }
    return 0;
}
