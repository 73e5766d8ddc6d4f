#include "store/library_codec.h"

#include "platform/io.h"
#include "platform/path.h"
#include "store/limits.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace qorvan {

namespace {

    // Directory bytes are fetched a block at a time: reading a file entry by
    // entry would cost one call per slide. 1820 entries of 36 bytes make a block
    // of 65 520 bytes, the largest that stays within 64 KiB.
    constexpr std::size_t ENTRIES_PER_BLOCK = 1820;

    // Gives the bytes at [pos, pos + want) of the library, or fewer where the
    // bytes end; null with n 0 on a read failure.
    class Source {
    public:
        virtual ~Source() = default;
        virtual const std::uint8_t* fetch(std::size_t pos, std::size_t want, std::size_t& n) = 0;
        bool failed = false;
    };

    class MemorySource final : public Source {
    public:
        MemorySource(const std::uint8_t* data, std::size_t size)
            : data_(data)
            , size_(size)
        {
        }
        const std::uint8_t* fetch(std::size_t pos, std::size_t want, std::size_t& n) override
        {
            n = pos < size_ ? std::min(want, size_ - pos) : 0;
            return data_ + std::min(pos, size_);
        }

    private:
        const std::uint8_t* data_;
        std::size_t size_;
    };

    class FileSource final : public Source {
    public:
        FileSource(platform::File& file, std::int64_t length)
            : file_(file)
            , length_(length)
        {
        }
        const std::uint8_t* fetch(std::size_t pos, std::size_t want, std::size_t& n) override
        {
            if (pos < start_ || pos + want > start_ + block_.size()) {
                // A fetch never spans more than one entry, so a block that
                // starts here holds it whenever the file does.
                std::int64_t left = length_ - static_cast<std::int64_t>(pos);
                std::size_t take = ENTRIES_PER_BLOCK * DIRECTORY_ENTRY_SIZE;
                if (left < static_cast<std::int64_t>(take))
                    take = left > 0 ? static_cast<std::size_t>(left) : 0;
                block_.resize(take);
                start_ = pos;
                if (take
                    && (!file_.seek(static_cast<std::int64_t>(pos))
                        || !file_.readExact(block_.data(), take))) {
                    failed = true;
                    block_.clear();
                }
            }
            std::size_t off = pos - start_;
            n = off < block_.size() ? std::min(want, block_.size() - off) : 0;
            return block_.data() + std::min(off, block_.size());
        }

    private:
        platform::File& file_;
        std::int64_t length_;
        std::vector<std::uint8_t> block_;
        std::size_t start_ = 0;
    };

    bool fault(DecodedLibrary& d, LibraryFault f, std::int64_t at)
    {
        if (d.fault == LibraryFault::None) {
            d.fault = f;
            d.faultOffset = at;
        }
        d.faults.push_back({ f, at });
        return false;
    }

    // The decoder fills either the full entries a report wants or, for a reader
    // that wants only the directory, the store's own entries with no copy.
    void setEntry(DecodedEntry& out, const std::uint8_t* p, std::size_t at)
    {
        out = decodeEntry(p, at);
    }

    void setEntry(LibraryEntry& out, const std::uint8_t* p, std::size_t)
    {
        std::memcpy(out.name.bytes, p + ENTRY_NAME_OFFSET, SLIDE_NAME_SIZE);
        out.offset = platform::getI32(p + ENTRY_OFFSET_OFFSET);
    }

    // Store entries come only from strict decoding, whose sizes lie between 0
    // and a length that fits 32 bits (checked before they are set).
    void setSize(DecodedEntry& e, std::int64_t size)
    {
        e.size = size;
    }
    void setSize(LibraryEntry& e, std::int64_t size)
    {
        e.size = static_cast<std::int32_t>(size);
    }

    bool visitEntry(const EntryVisitor& visit, const DecodedEntry& e)
    {
        return visit(e);
    }
    bool visitEntry(const EntryVisitor&, const LibraryEntry&)
    {
        return true;
    }

    // Sizes by the layout's rule. Strict: every slide lies after the directory,
    // in order, inside the file, so every size is between 0 and the length.
    // Lenient: each slide's own offset is judged against the directory's end,
    // the file's end and the last slide placed before it.
    template <class Entry> void deriveSizes(DecodedLibrary& d, std::vector<Entry>& entries, DecodeMode mode)
    {
        const std::int64_t slidesStart = firstSlideOffset(entries.size());
        std::int64_t floor = slidesStart;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            Entry& e = entries[i];
            const std::int64_t off = e.offset;
            const std::int64_t next = i + 1 < entries.size() ? entries[i + 1].offset : d.length;
            const auto at = static_cast<std::int64_t>(
                LIBRARY_HEADER_SIZE + i * DIRECTORY_ENTRY_SIZE + ENTRY_OFFSET_OFFSET);
            if (mode == DecodeMode::Strict) {
                if (off < floor || next < off || next > d.length) {
                    fault(d, LibraryFault::BadOffset, at);
                    return;
                }
                floor = off;
            } else if (d.terminated) {
                if (off < slidesStart || off > d.length) {
                    fault(d, LibraryFault::OffsetOutside, at);
                } else {
                    if (off < floor) fault(d, LibraryFault::OffsetOverlaps, at);
                    floor = off;
                }
            }
            setSize(e, next - off);
        }
    }

    // Decodes into d, all but its entries, and into entries.
    template <class Entry>
    void decode(Source& src, std::int64_t length, DecodeMode mode, const EntryVisitor& visit,
        DecodedLibrary& d, std::vector<Entry>& entries)
    {
        const bool strict = mode == DecodeMode::Strict;
        const bool raw = mode == DecodeMode::Raw;
        d.length = length;
        std::size_t n = 0;
        const std::uint8_t* header = src.fetch(0, LIBRARY_HEADER_SIZE, n);
        if (src.failed) return (void)fault(d, LibraryFault::ReadFailed, 0);
        d.magic = libraryHeaderIsValid(header, n);
        // Whatever follows a foreign header is not a directory to a reader; only
        // a look at damage reads on, and only past a header that is whole.
        if (!d.magic) {
            fault(d, LibraryFault::NotALibrary, 0);
            if (!raw || n < LIBRARY_HEADER_SIZE) return;
        }
        if (length > MAX_LIBRARY_BYTES) {
            fault(d, LibraryFault::TooLong, 0);
            if (strict) return;
        }

        const auto end = static_cast<std::size_t>(length);
        std::size_t pos = LIBRARY_HEADER_SIZE;
        bool stopped = false;
        while (pos < end) {
            const std::uint8_t* e = src.fetch(pos, DIRECTORY_ENTRY_SIZE, n);
            if (src.failed) return (void)fault(d, LibraryFault::ReadFailed, static_cast<std::int64_t>(pos));
            const bool whole = n == DIRECTORY_ENTRY_SIZE;
            // Only the first byte of the terminating entry is examined, so the
            // strict reader accepts one cut short; a report asks for it whole.
            if (e[ENTRY_NAME_OFFSET] == 0 && (strict || whole)) {
                d.terminated = true;
                d.directoryEnd = pos + DIRECTORY_ENTRY_SIZE;
                break;
            }
            if (!whole) {
                fault(d, LibraryFault::PartialEntry, static_cast<std::int64_t>(pos));
                if (strict) break;
                d.terminatorCut = e[ENTRY_NAME_OFFSET] == 0;
                d.directoryEnd = pos;
                break;
            }
            if (entries.size() == MAX_LIBRARY_SLIDES) {
                fault(d, LibraryFault::TooManySlides, static_cast<std::int64_t>(pos));
                if (strict) break;
            }
            setEntry(entries.emplace_back(), e, pos);
            pos += DIRECTORY_ENTRY_SIZE;
            if (visit && !visitEntry(visit, entries.back())) {
                stopped = true;
                break;
            }
        }
        if (!d.terminated && !stopped) {
            if (pos >= end) {
                fault(d, LibraryFault::Unterminated, static_cast<std::int64_t>(pos));
                d.directoryEnd = pos;
            }
        }
        if (strict && !d.ok()) {
            entries.clear();
            return;
        }
        if (stopped) return;
        deriveSizes(d, entries, mode);
        if (strict && !d.ok()) entries.clear();
    }

    template <class Entry>
    void decodeFile(platform::File& file, DecodeMode mode, const EntryVisitor& visit, DecodedLibrary& d,
        std::vector<Entry>& entries)
    {
        const std::int64_t length = file.length();
        if (length < 0) {
            fault(d, LibraryFault::ReadFailed, 0);
            return;
        }
        FileSource src(file, length);
        decode(src, length, mode, visit, d, entries);
    }

} // namespace

const char* libraryFaultText(LibraryFault f)
{
    switch (f) {
    case LibraryFault::None:
        return "sound";
    case LibraryFault::NotALibrary:
        return "the header is not \"AutoCAD Slide Library 1.0\"";
    case LibraryFault::TooLong:
        return "the file is longer than 32-bit offsets can describe";
    case LibraryFault::Unterminated:
        return "directory without terminating entry: it runs to the end of the file";
    case LibraryFault::PartialEntry:
        return "directory entry cut short by the end of the file";
    case LibraryFault::TooManySlides:
        return "more directory entries than a library may hold";
    case LibraryFault::BadOffset:
        return "a slide offset lies outside the file's slides or before the previous one";
    case LibraryFault::ReadFailed:
        return "the file cannot be read";
    case LibraryFault::OffsetOutside:
        return "the slide's offset lies outside the file's slides";
    case LibraryFault::OffsetOverlaps:
        return "the slide's offset lies before the previous slide's: the two overlap";
    }
    return "?";
}

StatusCode libraryFaultStatus(LibraryFault f)
{
    switch (f) {
    case LibraryFault::None:
        return Ok;
    case LibraryFault::ReadFailed:
        return CannotOpen;
    default:
        return InvalidLibrary;
    }
}

std::vector<LibraryEntry> DecodedLibrary::libraryEntries() const
{
    std::vector<LibraryEntry> out;
    out.reserve(entries.size());
    for (const DecodedEntry& e : entries) {
        LibraryEntry le;
        le.name = e.name;
        le.offset = e.offset;
        le.size = static_cast<std::int32_t>(e.size);
        out.push_back(le);
    }
    return out;
}

DecodedLibrary decodeLibrary(
    const std::uint8_t* data, std::size_t size, DecodeMode mode, const EntryVisitor& visit)
{
    MemorySource src(data, size);
    DecodedLibrary d;
    decode(src, static_cast<std::int64_t>(size), mode, visit, d, d.entries);
    return d;
}

DecodedLibrary decodeLibrary(platform::File& file, DecodeMode mode, const EntryVisitor& visit)
{
    DecodedLibrary d;
    decodeFile(file, mode, visit, d, d.entries);
    return d;
}

DecodedLibrary decodeDirectory(platform::File& file, std::vector<LibraryEntry>& entries)
{
    entries.clear();
    DecodedLibrary d;
    decodeFile(file, DecodeMode::Strict, nullptr, d, entries);
    return d;
}

DecodedEntry decodeEntry(const std::uint8_t* p, std::size_t entryOffset)
{
    DecodedEntry entry;
    std::memcpy(entry.name.bytes, p + ENTRY_NAME_OFFSET, SLIDE_NAME_SIZE);
    entry.entryOffset = entryOffset;
    entry.offset = platform::getI32(p + ENTRY_OFFSET_OFFSET);
    return entry;
}

void appendEntry(std::vector<std::uint8_t>& out, const SlideName& name, std::int32_t offset)
{
    out.insert(out.end(), name.bytes, name.bytes + SLIDE_NAME_SIZE);
    platform::appendU32(out, static_cast<std::uint32_t>(offset));
}

bool libraryHeaderIsValid(const std::uint8_t* data, std::size_t size)
{
    return size >= LIBRARY_HEADER_SIZE && std::memcmp(data, LIBRARY_MAGIC, LIBRARY_MAGIC_LENGTH + 1) == 0;
}

std::string slideNameText(const SlideName& name)
{
    return std::string(name.bytes, strnlen(name.bytes, SLIDE_NAME_SIZE));
}

bool slideNameMatches(const SlideName& stored, std::string_view name, NameMatch match)
{
    const std::string text = slideNameText(stored);
    return match == NameMatch::Exact ? text == name : platform::equalsNoCase(text, name);
}

const DecodedEntry* findSlideEntry(const DecodedLibrary& library, std::string_view name, NameMatch match)
{
    for (const DecodedEntry& e : library.entries)
        if (slideNameMatches(e.name, name, match)) return &e;
    return nullptr;
}

FoundSlide findSlideEntry(platform::File& file, std::string_view name, NameMatch match)
{
    FoundSlide out;
    out.library = decodeLibrary(file, DecodeMode::Lenient, [&](const DecodedEntry& e) {
        if (!slideNameMatches(e.name, name, match)) return true;
        out.found = true;
        out.entry = e;
        return false;
    });
    return out;
}

std::vector<std::uint8_t> encodeLibraryHead(std::vector<LibraryEntry>& entries)
{
    std::vector<std::uint8_t> head(LIBRARY_HEADER_SIZE, 0);
    head.reserve(static_cast<std::size_t>(firstSlideOffset(entries.size())));
    std::memcpy(head.data(), LIBRARY_MAGIC, LIBRARY_MAGIC_LENGTH);
    std::int64_t offset = firstSlideOffset(entries.size());
    for (LibraryEntry& entry : entries) {
        entry.offset = static_cast<std::int32_t>(offset);
        appendEntry(head, entry.name, entry.offset);
        offset += entry.size;
    }
    head.resize(head.size() + DIRECTORY_ENTRY_SIZE, 0); // the terminating entry
    return head;
}

} // namespace qorvan
