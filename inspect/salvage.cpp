#include "inspect/salvage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "platform/bytes.h"
#include "slide/byte_order.h"
#include "slide/format.h"
#include "store/library.h"
#include "store/library_codec.h"

namespace qorvan::inspect {

namespace {

    using slide::ByteOrder;

    // How many bytes of a damaged signature must still match for the header
    // around it to count, when the byte-order word cannot vouch for it (the
    // old form has none).
    constexpr int SIGNATURE_BYTES_TO_TRUST = 12;
    // Beyond this many directory entries or slides the offset-shift search
    // (quadratic) is not tried.
    constexpr std::size_t SHIFT_SEARCH_LIMIT = 4000;

    std::string num(long long v)
    {
        return std::to_string(v);
    }

    int signatureMatches(const std::uint8_t* p)
    {
        int same = 0;
        for (std::size_t i = 0; i < slide::SLIDE_SIGNATURE_SIZE; ++i)
            same += p[i] == static_cast<std::uint8_t>(slide::SLIDE_SIGNATURE[i]);
        return same;
    }

    // A header at p whose signature may be damaged: the kind byte, and either
    // a byte-order word and fill flag that agree or most of the signature.
    bool headerShape(const std::uint8_t* data, std::size_t size, std::size_t p)
    {
        if (size - p < slide::NEW_HEADER_SIZE || data[p + slide::KIND_OFFSET] != slide::SLIDE_KIND)
            return false;
        const std::uint8_t* h = data + p;
        if (h[slide::LEVEL_OFFSET] != slide::OLD_FORM_LEVEL) {
            for (ByteOrder order : { ByteOrder::Little, ByteOrder::Big }) {
                const std::uint16_t fill = platform::getU16(h + slide::NEW_FILL_FLAG_OFFSET, order);
                if (platform::getU16(h + slide::NEW_BYTE_ORDER_OFFSET, order) == slide::BYTE_ORDER_TEST
                    && (fill == slide::FILL_FLAG_NONE || fill == slide::FILL_FLAG_FILLS))
                    return true;
            }
        }
        return signatureMatches(h) >= SIGNATURE_BYTES_TO_TRUST;
    }

    struct DirectoryName {
        std::string name;
        std::size_t slot = 0; // entry index in directory order
    };

    // An entry that still looks like one the store wrote: a name of printable
    // characters, NUL-padded, and an offset inside the file.
    bool plausibleEntry(
        const DecodedEntry& entry, std::size_t fileSize, std::string& name, std::int32_t& offset)
    {
        const auto* e = reinterpret_cast<const std::uint8_t*>(entry.name.bytes);
        std::size_t len = 0;
        while (len < SLIDE_NAME_SIZE && e[len])
            ++len;
        if (len == 0 || len > SLIDE_NAME_MAX) return false;
        for (std::size_t i = 0; i < len; ++i)
            if (e[i] < 0x20 || e[i] > 0x7E) return false;
        for (std::size_t i = len; i < SLIDE_NAME_SIZE; ++i)
            if (e[i]) return false;
        offset = entry.offset;
        if (offset < static_cast<std::int64_t>(EMPTY_LIBRARY_SIZE + DIRECTORY_ENTRY_SIZE)
            || static_cast<std::size_t>(offset) >= fileSize)
            return false;
        name.assign(reinterpret_cast<const char*>(e), len);
        return true;
    }

    void putWord(std::vector<std::uint8_t>& out, std::uint16_t v, ByteOrder order)
    {
        const auto lo = static_cast<std::uint8_t>(v & 0xFF), hi = static_cast<std::uint8_t>(v >> 8);
        out.push_back(order == ByteOrder::Little ? lo : hi);
        out.push_back(order == ByteOrder::Little ? hi : lo);
    }

} // namespace

SalvageReport salvageLibrary(const std::uint8_t* data, std::size_t size)
{
    SalvageReport report;

    // 1. Where slides start: the signature, or a header whose signature is
    // damaged but whose other fields hold.
    std::vector<std::size_t> starts;
    for (std::size_t p = 0; p + slide::NEW_HEADER_SIZE <= size; ++p) {
        if (data[p + slide::KIND_OFFSET] != slide::SLIDE_KIND) continue;
        if (std::memcmp(data + p, slide::SLIDE_SIGNATURE, slide::SLIDE_SIGNATURE_SIZE) == 0
            || headerShape(data, size, p))
            starts.push_back(p);
    }

    // 2. The directory as far as it still looks like one: every 36-byte slot
    // between the header and the first slide that holds a sound entry
    // (a zeroed or overwritten entry in the middle does not end it).
    const std::size_t directoryEnd = starts.empty() ? size : starts.front();
    std::vector<std::pair<std::int32_t, DirectoryName>> entries; // in directory order
    for (std::size_t at = LIBRARY_HEADER_SIZE, slot = 0; at + DIRECTORY_ENTRY_SIZE <= directoryEnd;
         at += DIRECTORY_ENTRY_SIZE, ++slot) {
        std::string name;
        std::int32_t offset = 0;
        if (plausibleEntry(decodeEntry(data + at, at), size, name, offset))
            entries.push_back({ offset, { name, slot } });
    }
    report.directoryEntries = entries.size();

    // Offsets that all miss by the same amount (bytes cut out of or put into
    // the directory) still name the slides: find the shift that matches the
    // most entries to slide starts.
    std::set<std::size_t> startSet(starts.begin(), starts.end());
    long long shift = 0;
    if (!entries.empty() && entries.size() <= SHIFT_SEARCH_LIMIT && starts.size() <= SHIFT_SEARCH_LIMIT) {
        auto hits = [&](long long s) {
            std::size_t n = 0;
            for (const auto& e : entries) {
                long long at = e.first + s;
                n += at >= 0 && startSet.count(static_cast<std::size_t>(at));
            }
            return n;
        };
        std::size_t best = hits(0);
        std::map<long long, std::size_t> votes;
        for (const auto& e : entries)
            for (std::size_t p : starts)
                ++votes[static_cast<long long>(p) - e.first];
        for (const auto& [s, count] : votes) {
            if (count <= best || s == 0) continue;
            std::size_t h = hits(s);
            if (h > best) best = h, shift = s;
        }
        if (shift != 0)
            report.notes.push_back("the directory's offsets are all " + num(shift < 0 ? -shift : shift)
                + " bytes " + (shift < 0 ? "beyond" : "short of")
                + " the slides; names are matched with that shift");
    }
    std::map<std::size_t, std::size_t> entryAt; // slide start -> index into entries
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const long long at = entries[i].first + shift;
        if (at >= 0 && startSet.count(static_cast<std::size_t>(at)))
            entryAt.emplace(static_cast<std::size_t>(at), i);
    }

    // 3. Each start up to the next one: the slide's own records decide
    // where it ends, unless the directory says the next slide follows it.
    std::set<std::string> used;
    int unnamed = 0;
    std::size_t covered = directoryEnd;
    auto uncovered = [&](std::size_t from, std::size_t to) {
        if (to > from)
            report.notes.push_back("bytes " + num(static_cast<long long>(from)) + ".."
                + num(static_cast<long long>(to - 1)) + " (" + num(static_cast<long long>(to - from))
                + "): no slide found there");
    };
    if (entries.empty() && !starts.empty())
        report.notes.push_back("no directory entry survives: slides get RECOVERED_ names");
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const std::size_t p = starts[k];
        const std::size_t q = k + 1 < starts.size() ? starts[k + 1] : size;
        const std::uint8_t* s = data + p;
        const std::size_t room = q - p;
        const slide::OrderGuess guess = slide::detectByteOrder(s, room);
        const slide::HeaderFields h = slide::readHeaderFields(s, room, guess.order);
        if (!h.complete) {
            report.notes.push_back(
                "a slide header at byte " + num(static_cast<long long>(p)) + " is cut short; not recovered");
            continue;
        }
        slide::RecordWalk walk
            = slide::walkRecords(s, room, h.headerSize, guess.order, [](const slide::SlideRecord&) {});
        const bool signatureWhole = std::memcmp(s, slide::SLIDE_SIGNATURE, slide::SLIDE_SIGNATURE_SIZE) == 0;
        if (!signatureWhole && !walk.endRecord) continue; // a header shape by chance, not a slide
        RecoveredSlide r;
        r.from = p;
        auto entry = entryAt.find(p);
        std::size_t end = p + walk.stopOffset;
        if (walk.endRecord && entry != entryAt.end()) {
            // Bytes after the end record belong to the slide when the next
            // entry in the directory starts right where the next slide does.
            const std::size_t i = entry->second;
            const bool nextFollows = i + 1 < entries.size()
                ? entries[i + 1].first + shift == static_cast<long long>(q)
                : q == size;
            if (nextFollows) end = q;
        } else if (!walk.endRecord && !walk.cutShort) {
            end = q;
            r.note = "no end record (the slide ends where its bytes do)";
        }
        if (walk.cutShort) {
            if (walk.records == 0) {
                report.notes.push_back("the slide at byte " + num(static_cast<long long>(p))
                    + " is cut short before its first record; not recovered");
                continue;
            }
            r.state = RecoveredState::Partial;
            r.note = "cut short at byte " + num(static_cast<long long>(p + walk.stopOffset)) + ": "
                + num(static_cast<long long>(walk.records)) + " records kept, an end record added";
            end = p + walk.stopOffset;
        }
        r.to = end;
        r.bytes.assign(data + p, data + end);
        if (r.state == RecoveredState::Partial)
            putWord(r.bytes, static_cast<std::uint16_t>(slide::REC_END << 8), guess.order);
        if (!signatureWhole) {
            std::memcpy(r.bytes.data(), slide::SLIDE_SIGNATURE, slide::SLIDE_SIGNATURE_SIZE);
            if (r.state == RecoveredState::Whole) r.state = RecoveredState::Repaired;
            r.note += std::string(r.note.empty() ? "" : "; ") + "its damaged signature is written anew";
        }
        if (entry != entryAt.end()) {
            const std::string& name = entries[entry->second].second.name;
            if (used.count(name)) {
                r.note
                    += std::string(r.note.empty() ? "" : "; ") + "its directory name " + name + " is taken";
            } else {
                r.name = name;
                r.nameFromDirectory = true;
                ++report.namedFromDirectory;
            }
        }
        while (r.name.empty()) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "RECOVERED_%04d", ++unnamed);
            if (!used.count(buf)) r.name = buf;
        }
        used.insert(r.name);
        uncovered(covered, p);
        covered = std::max(covered, end);
        report.slides.push_back(std::move(r));
    }
    uncovered(covered, size);
    for (const auto& e : entries) {
        const long long at = e.first + shift;
        if (at < 0 || !startSet.count(static_cast<std::size_t>(at)))
            report.notes.push_back("directory entry " + e.second.name + " points at byte " + num(e.first)
                + ", where no slide starts");
    }
    return report;
}

} // namespace qorvan::inspect
