// Salvage on arbitrary bytes: it must not crash, and what it recovers must
// hold together: names unique and at most 31 bytes, ranges inside the file
// and in order, slides recovered as found equal to their bytes, and the
// library it writes from them sound, with every slide where it put it and a
// check finding no damage in its directory. The check of the input itself
// places every finding inside it.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "inspect/check.h"
#include "inspect/library_layout.h"
#include "inspect/salvage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qorvan::inspect;
    auto inside = [](const std::vector<Finding>& fs, std::size_t limit, bool damageAllowed) {
        for (const Finding& f : fs)
            // A signature inside a salvaged slide's own bytes reads to check
            // as a slide no entry points at: the one error a sound library may show.
            if ((f.located && f.offset > limit)
                || (!damageAllowed && f.severity() == Severity::Error && f.kind != CheckKind::HiddenSlide))
                __builtin_trap();
    };
    const LibraryCheck input = checkLibrary(data, size, nullptr);
    inside(input.findings, size, true);
    for (const SlideCheck& s : input.slides) {
        inside(s.entry, size, true);
        inside(s.bytes, size, true);
    }
    inside(checkSlide(data, size), size, true);

    SalvageReport r = salvageLibrary(data, size);
    std::set<std::string> names;
    std::size_t last = 0;
    std::vector<std::string> outNames;
    std::vector<std::vector<std::uint8_t>> outSlides;
    for (const RecoveredSlide& s : r.slides) {
        if (s.name.empty() || s.name.size() > 31 || !names.insert(s.name).second) __builtin_trap();
        if (s.from < last || s.to < s.from || s.to > size) __builtin_trap();
        last = s.to;
        if (s.state == RecoveredState::Whole
            && std::vector<std::uint8_t>(data + s.from, data + s.to) != s.bytes)
            __builtin_trap();
        if (s.bytes.empty()) __builtin_trap();
        outNames.push_back(s.name);
        outSlides.push_back(s.bytes);
    }
    std::vector<std::uint8_t> library = encodeLibrary(outNames, outSlides);
    LibraryLayout l = decodeLibraryLayout(library.data(), library.size());
    if (!l.magic || !l.terminated || l.entries.size() != outNames.size()) __builtin_trap();
    for (std::size_t i = 0; i < l.entries.size(); ++i) {
        const LayoutEntry& e = l.entries[i];
        if (e.name != outNames[i] || e.size != static_cast<std::int64_t>(outSlides[i].size()))
            __builtin_trap();
        if (std::vector<std::uint8_t>(library.begin() + e.offset, library.begin() + e.offset + e.size)
            != outSlides[i])
            __builtin_trap();
    }
    const LibraryCheck written = checkLibrary(library.data(), library.size(), nullptr);
    inside(written.findings, library.size(), false);
    for (const SlideCheck& s : written.slides) {
        inside(s.entry, library.size(), false);
        inside(s.bytes, library.size(), true);
    }
    return 0;
}
