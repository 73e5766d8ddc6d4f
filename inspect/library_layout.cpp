#include "inspect/library_layout.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/bytes.h"
#include "store/library.h"

namespace qorvan::inspect {

namespace {

    std::int32_t int32At(const std::uint8_t* p)
    {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0])
            | (static_cast<std::uint32_t>(p[1]) << 8) | (static_cast<std::uint32_t>(p[2]) << 16)
            | (static_cast<std::uint32_t>(p[3]) << 24));
    }

} // namespace

LibraryLayout decodeLibraryLayout(const std::uint8_t* data, std::size_t size)
{
    LibraryLayout l;
    if (size < LIBRARY_HEADER_SIZE) return l;
    l.headerComplete = true;
    l.magic = std::memcmp(data, LIBRARY_MAGIC, LIBRARY_MAGIC_LENGTH + 1) == 0;
    std::size_t pos = LIBRARY_HEADER_SIZE;
    while (pos < size) {
        if (data[pos] == 0) {
            l.terminated = true;
            l.terminatorAt = pos;
            pos = std::min(size, pos + DIRECTORY_ENTRY_SIZE);
            break;
        }
        if (size - pos < DIRECTORY_ENTRY_SIZE) break; // a partial entry: body bytes
        LayoutEntry e;
        e.at = pos;
        const std::uint8_t* name = data + pos + ENTRY_NAME_OFFSET;
        std::size_t len = 0;
        while (len < SLIDE_NAME_SIZE && name[len])
            ++len;
        e.name.assign(reinterpret_cast<const char*>(name), len);
        if (len + 1 < SLIDE_NAME_SIZE) {
            std::size_t last = SLIDE_NAME_SIZE;
            while (last > len + 1 && name[last - 1] == 0)
                --last;
            e.pad.assign(name + len + 1, name + last);
        }
        e.offset = int32At(data + pos + ENTRY_OFFSET_OFFSET);
        l.entries.push_back(std::move(e));
        pos += DIRECTORY_ENTRY_SIZE;
    }
    l.bodyStart = pos;
    for (std::size_t i = 0; i < l.entries.size(); ++i) {
        std::int64_t next
            = i + 1 < l.entries.size() ? l.entries[i + 1].offset : static_cast<std::int64_t>(size);
        l.entries[i].size = next - l.entries[i].offset;
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
    std::vector<std::uint8_t> out(LIBRARY_HEADER_SIZE + DIRECTORY_ENTRY_SIZE * (names.size() + 1), 0);
    std::memcpy(out.data(), LIBRARY_MAGIC, LIBRARY_MAGIC_LENGTH);
    std::size_t offset = out.size();
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::uint8_t* e = out.data() + LIBRARY_HEADER_SIZE + DIRECTORY_ENTRY_SIZE * i;
        std::memcpy(e + ENTRY_NAME_OFFSET, names[i].data(), std::min(names[i].size(), SLIDE_NAME_SIZE));
        const auto v = static_cast<std::uint32_t>(offset);
        for (int b = 0; b < 4; ++b)
            e[ENTRY_OFFSET_OFFSET + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(v >> (8 * b));
        offset += slides[i].size();
    }
    for (const auto& s : slides)
        out.insert(out.end(), s.begin(), s.end());
    return out;
}

} // namespace qorvan::inspect
