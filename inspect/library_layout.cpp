#include "inspect/library_layout.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "store/library.h"
#include "store/library_codec.h"

namespace qorvan::inspect {

LibraryLayout decodeLibraryLayout(const std::uint8_t* data, std::size_t size)
{
    LibraryLayout l;
    if (size < LIBRARY_HEADER_SIZE) return l;
    l.headerComplete = true;
    const DecodedLibrary d = decodeLibrary(data, size, DecodeMode::Raw);
    l.magic = d.magic;
    for (const DecodedEntry& de : d.entries) {
        LayoutEntry e;
        e.at = de.entryOffset;
        e.name = slideNameText(de.name);
        const std::size_t len = e.name.size();
        if (len + 1 < SLIDE_NAME_SIZE) {
            const auto* field = reinterpret_cast<const std::uint8_t*>(de.name.bytes);
            std::size_t last = SLIDE_NAME_SIZE;
            while (last > len + 1 && field[last - 1] == 0)
                --last;
            e.pad.assign(field + len + 1, field + last);
        }
        e.offset = de.offset;
        e.size = de.size;
        l.entries.push_back(std::move(e));
    }
    // A terminator cut short by the end of the file is still the terminator
    // to the text form: its bytes are kept as they stand.
    l.terminated = d.terminated || d.terminatorCut;
    if (d.terminated) {
        l.terminatorAt = d.directoryEnd - DIRECTORY_ENTRY_SIZE;
        l.bodyStart = d.directoryEnd;
    } else if (d.terminatorCut) {
        l.terminatorAt = d.directoryEnd;
        l.bodyStart = size;
    } else {
        l.bodyStart = std::max(d.directoryEnd, LIBRARY_HEADER_SIZE);
    }
    // Sections: the distinct offsets inside the body, ascending.
    std::map<std::int64_t, int> owners;
    for (std::size_t i = 0; i < l.entries.size(); ++i) {
        const std::int64_t o = l.entries[i].offset;
        if (o >= static_cast<std::int64_t>(l.bodyStart) && o <= static_cast<std::int64_t>(size))
            owners.emplace(o, static_cast<int>(i));
    }
    for (auto it = owners.begin(); it != owners.end(); ++it) {
        auto next = std::next(it);
        LayoutSection s;
        s.begin = static_cast<std::size_t>(it->first);
        s.end = next == owners.end() ? size : static_cast<std::size_t>(next->first);
        s.owner = it->second;
        l.entries[static_cast<std::size_t>(s.owner)].section = static_cast<int>(l.sections.size());
        l.sections.push_back(s);
    }
    return l;
}

std::vector<std::uint8_t> encodeLibrary(
    const std::vector<std::string>& names, const std::vector<std::vector<std::uint8_t>>& slides)
{
    std::vector<LibraryEntry> entries(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::memcpy(entries[i].name.bytes, names[i].data(), std::min(names[i].size(), SLIDE_NAME_SIZE));
        entries[i].size = static_cast<std::int32_t>(slides[i].size());
    }
    std::vector<std::uint8_t> out = encodeLibraryHead(entries);
    for (const auto& s : slides)
        out.insert(out.end(), s.begin(), s.end());
    return out;
}

} // namespace qorvan::inspect
