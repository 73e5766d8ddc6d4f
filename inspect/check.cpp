#include "inspect/check.h"

#include <algorithm>
#include <map>

#include "platform/path.h"
#include "slide/byte_order.h"
#include "slide/format.h"
#include "slide/records.h"
#include "store/library.h"
#include "store/library_codec.h"
#include "store/limits.h"

namespace qorvan::inspect {

namespace {

    constexpr Severity E = Severity::Error;
    constexpr Severity W = Severity::Warning;

    // In CheckKind's order.
    constexpr KindInfo KINDS[] = {
        { E, "unreadable" },
        { E, "not-a-library" },
        { E, "library-too-long" },
        { E, "directory-unterminated" },
        { E, "entry-cut-short" },
        { E, "too-many-slides" },
        { E, "slide-not-found" },
        { E, "hidden-slide" },
        { W, "unheld-bytes" },
        { E, "offset-outside" },
        { E, "slides-overlap" },
        { W, "name-fills-field" },
        { W, "duplicate-name" },
        { W, "lower-case-name" },
        { W, "unsafe-name" },
        { E, "header-cut-short" },
        { E, "bad-signature" },
        { E, "bad-kind" },
        { E, "bad-fill-flag" },
        { E, "bad-byte-order-word" },
        { E, "big-endian" },
        { E, "record-cut-short" },
        { W, "no-end-record" },
        { W, "outside-area" },
        { W, "unknown-record-type" },
    };
    static_assert(std::size(KINDS) == static_cast<std::size_t>(CheckKind::UnknownRecord) + 1);

    Finding at(CheckKind kind, std::size_t offset, std::string message)
    {
        return { kind, true, offset, std::move(message) };
    }

    std::string plural(std::size_t n, const char* word)
    {
        return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
    }

    CheckKind directoryKind(LibraryFault f)
    {
        switch (f) {
        case LibraryFault::NotALibrary:
            return CheckKind::NotALibrary;
        case LibraryFault::TooLong:
            return CheckKind::TooLong;
        case LibraryFault::Unterminated:
            return CheckKind::Unterminated;
        case LibraryFault::PartialEntry:
            return CheckKind::PartialEntry;
        case LibraryFault::TooManySlides:
            return CheckKind::TooManySlides;
        case LibraryFault::OffsetOutside:
            return CheckKind::OffsetOutside;
        case LibraryFault::BadOffset:
        case LibraryFault::OffsetOverlaps:
            return CheckKind::OffsetOverlaps;
        case LibraryFault::None:
        case LibraryFault::ReadFailed:
            break;
        }
        return CheckKind::Unreadable;
    }

    void checkNames(std::vector<SlideCheck>& slides, const NameRule& unsafeName)
    {
        std::map<std::string, std::size_t> seen; // upper-cased name -> its entry
        for (SlideCheck& s : slides) {
            if (s.name.size() == SLIDE_NAME_SIZE)
                s.entry.push_back(at(CheckKind::NameFillsField, s.entryOffset,
                    "name fills all 32 bytes without a terminating NUL"));
            const std::string upper = platform::toUpperAscii(s.name);
            if (auto it = seen.find(upper); it != seen.end())
                s.entry.push_back(at(CheckKind::DuplicateName, s.entryOffset,
                    "duplicate of the name at byte " + std::to_string(it->second)
                        + ": only the first is reachable"));
            else
                seen.emplace(upper, s.entryOffset);
            if (upper != s.name)
                s.entry.push_back(at(CheckKind::LowerCaseName, s.entryOffset,
                    "name is not upper case: the viewer cannot find it by name"));
            if (unsafeName && unsafeName(s.name))
                s.entry.push_back(at(CheckKind::UnsafeName, s.entryOffset, "name unsafe as a file name"));
        }
    }

    // Slides that no entry points at: a slide's signature after the
    // directory where no entry's offset is. The store never leaves one, but
    // an entry zeroed or cut out of the directory does, and then the
    // directory reads as a sound, shorter one.
    void findHiddenSlides(
        const DecodedLibrary& d, const std::uint8_t* data, std::size_t size, std::vector<Finding>& findings)
    {
        if (!d.magic) return;
        std::vector<std::int64_t> held;
        for (const DecodedEntry& e : d.entries)
            held.push_back(static_cast<std::uint32_t>(e.offset));
        std::sort(held.begin(), held.end());
        const std::size_t from = std::max(d.directoryEnd, LIBRARY_HEADER_SIZE);
        std::size_t hidden = 0;
        const std::uint8_t* const end = data + size;
        for (const std::uint8_t* p = data + std::min(from, size);
             (p = std::search(
                  p, end, slide::SLIDE_SIGNATURE, slide::SLIDE_SIGNATURE + slide::SLIDE_SIGNATURE_SIZE))
             != end;
             ++p) {
            const auto at64 = static_cast<std::int64_t>(p - data);
            if (std::binary_search(held.begin(), held.end(), at64)) continue;
            ++hidden;
            findings.push_back(at(CheckKind::HiddenSlide, static_cast<std::size_t>(at64),
                "a slide that no directory entry points at"));
        }
        // Bytes between the directory and the first slide belong to no one:
        // harmless, but where a directory entry was lost they are its slide.
        if (!d.terminated || held.empty() || hidden) return;
        const std::int64_t first = held.front();
        const auto directoryEnd = static_cast<std::int64_t>(d.directoryEnd);
        if (first > directoryEnd && first <= static_cast<std::int64_t>(size))
            findings.push_back(at(CheckKind::UnheldBytes, d.directoryEnd,
                plural(static_cast<std::size_t>(first - directoryEnd), "byte")
                    + " between the directory's end and the first slide belong to no slide"));
    }

} // namespace

const KindInfo& kindInfo(CheckKind kind)
{
    return KINDS[static_cast<std::size_t>(kind)];
}

const char* severityName(Severity s)
{
    return s == Severity::Error ? "error" : "warning";
}

std::vector<Finding> checkSlide(const std::uint8_t* data, std::size_t size, std::size_t base)
{
    std::vector<Finding> out;
    const bool oldForm = slide::selectsOldForm(data, size);
    const unsigned faults = slide::slideHeaderFaults(data, size, oldForm);
    if (faults & slide::HEADER_CUT_SHORT) {
        out.push_back(at(CheckKind::HeaderCutShort, base,
            slide::headerFaultText(slide::HEADER_CUT_SHORT, data, size, oldForm)));
        return out;
    }
    const slide::OrderGuess order = slide::detectByteOrder(data, size);
    const bool big = order.order == slide::ByteOrder::Big;
    // Read low byte first, a slide written high byte first fails the fill
    // flag and test word only because of its order: it is said once.
    const struct {
        slide::HeaderFault fault;
        CheckKind kind;
        std::size_t field;
        bool orderBound;
    } tests[] = {
        { slide::HEADER_SIGNATURE, CheckKind::Signature, 0, false },
        { slide::HEADER_KIND, CheckKind::Kind, slide::KIND_OFFSET, false },
        { slide::HEADER_FILL_FLAG, CheckKind::FillFlag,
            oldForm ? slide::OLD_FILL_FLAG_OFFSET : slide::NEW_FILL_FLAG_OFFSET, true },
        { slide::HEADER_BYTE_ORDER, CheckKind::ByteOrderWord, slide::NEW_BYTE_ORDER_OFFSET, true },
    };
    for (const auto& t : tests)
        if ((faults & t.fault) && !(big && t.orderBound))
            out.push_back(at(t.kind, base + t.field, slide::headerFaultText(t.fault, data, size, oldForm)));
    if (big)
        out.push_back(at(CheckKind::BigEndian, base,
            std::string("the slide was written high byte first ")
                + (order.evidence == slide::OrderEvidence::TestWord ? "(its byte-order word says so)"
                                                                    : "(judged from its header and records)")
                + "; the module reads every slide low byte first"));

    const slide::HeaderFields h = slide::readHeaderFields(data, size, order.order);
    std::size_t outside = 0, firstOutside = 0, skipped = 0, firstSkipped = 0;
    const slide::RecordWalk walk
        = slide::walkRecords(data, size, h.headerSize, order.order, [&](const slide::SlideRecord& r) {
              if (r.kind == slide::RecordKind::Skipped && skipped++ == 0) firstSkipped = r.offset;
              if (slide::leavesArea(r, h.xDots, h.yDots) && outside++ == 0) firstOutside = r.offset;
          });
    if (walk.cutShort)
        out.push_back(at(
            CheckKind::RecordCutShort, base + walk.stopOffset, "record cut short by the end of the slide"));
    else if (!walk.endRecord)
        out.push_back(at(CheckKind::NoEndRecord, base + walk.stopOffset,
            "no end record: the slide ends with its bytes (a cut at a record's edge looks the same)"));
    if (outside)
        out.push_back(at(CheckKind::OutsideArea, base + firstOutside,
            plural(outside, "record") + " with coordinates outside the extent 0.." + std::to_string(h.xDots)
                + " by 0.." + std::to_string(h.yDots) + " (first here)"));
    if (skipped)
        out.push_back(at(CheckKind::UnknownRecord, base + firstSkipped,
            plural(skipped, "record word") + " of no known type, skipped (first here)"));
    std::stable_sort(
        out.begin(), out.end(), [](const Finding& a, const Finding& b) { return a.offset < b.offset; });
    return out;
}

LibraryCheck checkLibrary(const std::uint8_t* data, std::size_t size, const NameRule& unsafeName)
{
    LibraryCheck c;
    const DecodedLibrary d = decodeLibrary(data, size, DecodeMode::Lenient);
    for (const DecodedEntry& e : d.entries) {
        SlideCheck& s = c.slides.emplace_back();
        s.name = slideNameText(e.name);
        s.entryOffset = e.entryOffset;
        s.offset = e.offset;
    }
    std::vector<bool> placed(c.slides.size(), true);
    for (const LibraryFaultAt& f : d.faults) {
        const CheckKind kind = directoryKind(f.fault);
        const auto where = static_cast<std::size_t>(f.offset);
        if (kind != CheckKind::OffsetOutside && kind != CheckKind::OffsetOverlaps) {
            std::string text = libraryFaultText(f.fault);
            if (kind == CheckKind::NotALibrary) text = "not a slide library: " + text;
            if (kind == CheckKind::TooManySlides) text += " (" + std::to_string(MAX_LIBRARY_SLIDES) + ")";
            c.findings.push_back(at(kind, where, text));
            continue;
        }
        const std::size_t i = (where - LIBRARY_HEADER_SIZE) / DIRECTORY_ENTRY_SIZE;
        if (i >= c.slides.size()) continue;
        SlideCheck& s = c.slides[i];
        if (kind == CheckKind::OffsetOutside) {
            placed[i] = false;
            s.entry.push_back(at(kind, where,
                "offset " + std::to_string(s.offset) + " is outside the file's slides ("
                    + std::to_string(firstSlideOffset(c.slides.size())) + ".." + std::to_string(size) + ")"));
        } else {
            // The slide placed before it, for the message: faults come in
            // entry order, so that is the nearest earlier entry placed.
            std::int64_t previous = -1;
            for (std::size_t j = i; j-- > 0;)
                if (placed[j]) {
                    previous = c.slides[j].offset;
                    break;
                }
            s.entry.push_back(at(kind, where,
                "offset " + std::to_string(s.offset) + " is before the previous slide's ("
                    + std::to_string(previous) + "): the two overlap"));
        }
    }
    findHiddenSlides(d, data, size, c.findings);
    checkNames(c.slides, unsafeName);
    // Slides are judged where the directory can be trusted to place them.
    const bool directorySound = d.magic && d.terminated;
    for (std::size_t i = 0; i < c.slides.size(); ++i) {
        SlideCheck& s = c.slides[i];
        if (!directorySound || !placed[i]) continue;
        const std::int64_t size64 = d.entries[i].size;
        const auto from = static_cast<std::size_t>(s.offset);
        // A slide that runs backwards has no bytes of its own; the viewer
        // reads it from its offset on, as this does.
        const std::size_t length
            = size64 > 0 ? std::min(static_cast<std::size_t>(size64), size - from) : size - from;
        s.bytes = checkSlide(data + from, length, from);
    }
    return c;
}

} // namespace qorvan::inspect
