// Reads arbitrary bytes as a slide library. Whatever the directory says,
// every size the reader reports must lie inside the file; a library it
// accepts must survive a rewrite (deleting its first slide) and read back
// with the other slides intact.
#include "fuzz/scratch.h"
#include "store/edit.h"
#include "store/library.h"
#include "store/status.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

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
    const std::string lib = qorvan::fuzz::scratchFolder("library") + "/input.slb";
    {
        std::ofstream out(lib, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    setStatus(Ok, nullptr, nullptr);
    std::vector<LibraryEntry> entries = readDirectory(lib.c_str());
    std::vector<SlideName> names = listSlides(lib.c_str());
    check(entries.size() == names.size(), "listSlides and readDirectory disagree");
    if (entries.empty()) {
        int code = lastStatus();
        check(code == CannotOpen || code == InvalidLibrary || code == EmptyLibrary || code == NoMemory,
              "failure without a reader code");
        return 0;
    }
    std::int64_t floor = 68 + 36 * static_cast<std::int64_t>(entries.size());
    for (const LibraryEntry& e : entries) {
        check(e.size >= 0 && e.offset >= floor, "slide inside the directory or of negative size");
        check(static_cast<std::int64_t>(e.offset) + e.size <= static_cast<std::int64_t>(size), "slide past the end");
        floor = e.offset;
    }
    const std::string first(entries[0].name.bytes, strnlen(entries[0].name.bytes, SLIDE_NAME_SIZE));
    const std::string rest = entries.size() > 1 ? std::string(entries[1].name.bytes, strnlen(entries[1].name.bytes, SLIDE_NAME_SIZE)) : "";
    int code = deleteSlide(lib.c_str(), first.c_str());
    check(code == Ok, "a library the reader accepted could not be rewritten");
    std::vector<LibraryEntry> after = readDirectory(lib.c_str());
    std::size_t removed = 0;
    for (const LibraryEntry& e : entries)
        if (strncasecmp(e.name.bytes, first.c_str(), SLIDE_NAME_SIZE) == 0 && strnlen(e.name.bytes, SLIDE_NAME_SIZE) == first.size()) ++removed;
    check(after.size() == entries.size() - removed, "the rewrite lost or kept the wrong slides");
    return 0;
}
