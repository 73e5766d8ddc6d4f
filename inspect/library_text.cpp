// The library half of the text form, and the reader that tells the two
// kinds of text apart. A library text is its header, its directory (entries
// numbered in directory order), the terminator, then one "slide N" section
// per slide holding that slide's lines. Entries take their offsets from
// where their sections land, so slides can be edited, added or deleted in
// the text without counting bytes; only an offset that points at no
// section (a damaged directory) is written out.
#include <cstring>
#include <map>
#include <unordered_map>

#include "inspect/library_layout.h"
#include "inspect/slide_text_p.h"
#include "store/library.h"
#include "store/library_codec.h"

namespace qorvan::inspect {

namespace {

    constexpr std::size_t MAGIC_FIELD_SIZE = LIBRARY_MAGIC_LENGTH + 1; // with its NUL
    constexpr std::size_t HEADER_SPARE_SIZE = LIBRARY_HEADER_SIZE - MAGIC_FIELD_SIZE;
    constexpr std::size_t BYTES_PER_LINE = 32;

    std::string num(long long v)
    {
        return std::to_string(v);
    }

    void addBytes(std::vector<TextLine>& lines, const std::uint8_t* data, std::size_t from, std::size_t to,
        const std::string& note)
    {
        for (std::size_t at = from; at < to; at += BYTES_PER_LINE) {
            std::size_t n = std::min(BYTES_PER_LINE, to - at);
            lines.push_back({ "bytes " + hexBytes(data + at, n), at == from ? note : "",
                static_cast<std::int64_t>(at), "library" });
        }
    }

    bool allZero(const std::uint8_t* p, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i)
            if (p[i]) return false;
        return true;
    }

} // namespace

std::vector<TextLine> libraryLines(const std::uint8_t* data, std::size_t size, const LibraryLayout& l)
{
    std::vector<TextLine> lines;
    if (!l.headerComplete) {
        addBytes(
            lines, data, 0, size, "a header cut short at " + num(static_cast<long long>(size)) + " bytes");
        return lines;
    }
    lines.push_back({ "magic " + quoteBytes(data, MAGIC_FIELD_SIZE), l.magic ? "" : "not the library magic",
        0, "library" });
    lines.push_back({ "header-spare " + hexBytes(data + MAGIC_FIELD_SIZE, HEADER_SPARE_SIZE), "not examined",
        static_cast<std::int64_t>(MAGIC_FIELD_SIZE), "library" });
    for (std::size_t i = 0; i < l.entries.size(); ++i) {
        const LayoutEntry& e = l.entries[i];
        std::string text = "entry " + num(static_cast<long long>(i + 1)) + " "
            + quoteBytes(reinterpret_cast<const std::uint8_t*>(e.name.data()), e.name.size());
        if (!e.pad.empty()) text += " pad=" + hexBytes(e.pad.data(), e.pad.size());
        if (e.section < 0) text += " offset=" + num(e.offset);
        lines.push_back({ text, num(e.size) + " bytes", static_cast<std::int64_t>(e.at), "directory",
            "offset " + num(e.offset) });
    }
    if (l.terminated) {
        const std::size_t n = l.bodyStart - l.terminatorAt;
        const std::uint8_t* t = data + l.terminatorAt;
        lines.push_back(
            { n == DIRECTORY_ENTRY_SIZE && allZero(t, n) ? "terminator" : "terminator " + hexBytes(t, n), "",
                static_cast<std::int64_t>(l.terminatorAt), "library" });
    } else {
        lines.push_back({ "no-terminator", "the directory ends without its terminating entry",
            static_cast<std::int64_t>(l.bodyStart), "library" });
    }
    const std::size_t firstSection = l.sections.empty() ? size : l.sections.front().begin;
    addBytes(lines, data, l.bodyStart, firstSection, "in no slide");
    for (const LayoutSection& s : l.sections) {
        const LayoutEntry& owner = l.entries[static_cast<std::size_t>(s.owner)];
        lines.push_back({ "slide " + num(s.owner + 1),
            quoteBytes(reinterpret_cast<const std::uint8_t*>(owner.name.data()), owner.name.size()) + ", "
                + num(static_cast<long long>(s.end - s.begin)) + " bytes",
            static_cast<std::int64_t>(s.begin), "slide" });
        std::vector<TextLine> slide
            = slideLines(data + s.begin, s.end - s.begin, static_cast<std::int64_t>(s.begin));
        lines.insert(lines.end(), slide.begin(), slide.end());
    }
    return lines;
}

std::string dumpLibrary(const std::uint8_t* data, std::size_t size, bool offsets)
{
    std::string out = std::string(LIBRARY_TEXT_MAGIC) + " " + num(TEXT_FORM_VERSION) + "\n";
    return out + renderLines(libraryLines(data, size, decodeLibraryLayout(data, size)), offsets);
}

// ---------------------------------------------------------------------------
// Building.

namespace {

    bool fail(TextError& e, int column, std::string message)
    {
        e.column = column;
        e.message = std::move(message);
        return false;
    }

    class LibraryAssembler {
    public:
        bool line(int lineNumber, const std::vector<Token>& t, TextError& e);
        bool finish(int lineNumber, std::vector<std::uint8_t>& out, TextError& e);

    private:
        enum class Phase { Header, Directory, Body, Slides };
        struct Entry {
            std::int64_t label = 0;
            std::vector<std::uint8_t> field; // 32 bytes
            bool explicitOffset = false;
            std::int64_t offset = 0;
            int line = 0, column = 0;
        };
        struct Section {
            std::int64_t label = 0;
            SlideAssembler slide;
            int line = 0;
        };
        bool requirePhase(Phase most, const Token& t, TextError& e);

        Phase phase_ = Phase::Header;
        bool framed_ = false; // anything but bytes was given
        std::vector<std::uint8_t> magic_, spare_;
        std::vector<Entry> entries_;
        bool terminatorGiven_ = false, noTerminator_ = false;
        std::vector<std::uint8_t> terminator_;
        std::vector<std::uint8_t> gap_;
        std::vector<Section> sections_;
        // Looked up on every entry and slide line, so that a text of many
        // slides is not quadratic in them: an entry's label and its line;
        // for each entry that takes a slide section, the section's line (0
        // until it comes).
        std::unordered_map<std::int64_t, int> entryLines_, sectionLines_;
    };

    bool LibraryAssembler::requirePhase(Phase most, const Token& t, TextError& e)
    {
        if (phase_ <= most) return true;
        static const char* const after[]
            = { "the header", "the directory", "the terminator", "the first slide section" };
        return fail(e, t.column, t.text + " cannot come after " + after[static_cast<int>(phase_)]);
    }

    bool LibraryAssembler::line(int lineNumber, const std::vector<Token>& t, TextError& e)
    {
        e.line = lineNumber;
        const std::string& key = t[0].text;
        if (phase_ == Phase::Slides && key != "slide") return sections_.back().slide.line(lineNumber, t, e);
        if (t[0].quoted) return fail(e, t[0].column, "a line starts with a word, not a string");
        if (!framed_ && !gap_.empty() && key != "bytes")
            return fail(e, t[0].column,
                "a library text that starts with bytes lines (a header cut short) holds only bytes lines");
        if (key != "bytes") framed_ = true;
        if (key == "magic") {
            if (!requirePhase(Phase::Header, t[0], e)) return false;
            if (t.size() != 2 || !t[1].quoted || t[1].text.size() != MAGIC_FIELD_SIZE)
                return fail(e, t.size() > 1 ? t[1].column : t[0].column,
                    "magic wants a string of exactly 29 bytes (\"AutoCAD Slide Library 1.0\\r\\n\\x1a\\0\")");
            magic_.assign(t[1].text.begin(), t[1].text.end());
        } else if (key == "header-spare") {
            if (!requirePhase(Phase::Header, t[0], e)) return false;
            std::optional<std::vector<std::uint8_t>> raw = t.size() == 2 ? parseHex(t[1].text) : std::nullopt;
            if (!raw || raw->size() != HEADER_SPARE_SIZE)
                return fail(e, t.size() > 1 ? t[1].column : t[0].column,
                    "header-spare wants 3 bytes in hex, such as 000000");
            spare_ = *raw;
        } else if (key == "entry") {
            if (!requirePhase(Phase::Directory, t[0], e)) return false;
            phase_ = Phase::Directory;
            if (t.size() < 3)
                return fail(e, t[0].column, "entry wants a number and a quoted name: entry 1 \"BOX\"");
            Entry en;
            en.line = lineNumber;
            en.column = t[0].column;
            std::optional<std::int64_t> label = parseInteger(t[1].text);
            if (t[1].quoted || !label || *label < 1)
                return fail(e, t[1].column, "an entry's number is 1 or more");
            en.label = *label;
            if (auto other = entryLines_.find(en.label); other != entryLines_.end())
                return fail(
                    e, t[1].column, "entry " + t[1].text + " is already given on line " + num(other->second));
            const std::string& name = t[2].text;
            if (!t[2].quoted) return fail(e, t[2].column, "an entry's name is quoted: \"BOX\"");
            if (name.empty())
                return fail(e, t[2].column, "a name cannot be empty: an empty name ends the directory");
            if (name.size() > SLIDE_NAME_SIZE) return fail(e, t[2].column, "a name holds at most 32 bytes");
            if (name.find('\0') != std::string::npos) return fail(e, t[2].column, "a name cannot hold \\0");
            en.field.assign(SLIDE_NAME_SIZE, 0);
            std::memcpy(en.field.data(), name.data(), name.size());
            for (std::size_t i = 3; i < t.size(); ++i) {
                const Token& a = t[i];
                if (!a.quoted && a.text.rfind("pad=", 0) == 0) {
                    std::optional<std::vector<std::uint8_t>> pad = parseHex(a.text.substr(4));
                    if (!pad) return fail(e, a.column + 4, "pad wants hex digits, two a byte");
                    if (name.size() + 1 + pad->size() > SLIDE_NAME_SIZE)
                        return fail(e, a.column, "the name and its pad overrun the 32-byte field");
                    std::memcpy(en.field.data() + name.size() + 1, pad->data(), pad->size());
                } else if (!a.quoted && a.text.rfind("offset=", 0) == 0) {
                    std::optional<std::int64_t> o = parseInteger(a.text.substr(7));
                    if (!o || *o < INT32_MIN || *o > INT32_MAX)
                        return fail(e, a.column + 7, "offset wants a signed 32-bit number");
                    en.explicitOffset = true;
                    en.offset = *o;
                } else {
                    return fail(e, a.column, "an entry takes only pad=HEX and offset=N after its name");
                }
            }
            entryLines_[en.label] = en.line;
            if (!en.explicitOffset) sectionLines_.emplace(en.label, 0);
            entries_.push_back(std::move(en));
        } else if (key == "terminator" || key == "no-terminator") {
            if (!requirePhase(Phase::Directory, t[0], e)) return false;
            phase_ = Phase::Body;
            if (key == "no-terminator") {
                if (t.size() != 1) return fail(e, t[1].column, "no-terminator takes no value");
                noTerminator_ = true;
            } else {
                terminatorGiven_ = true;
                terminator_.assign(DIRECTORY_ENTRY_SIZE, 0);
                if (t.size() > 2) return fail(e, t[2].column, "terminator takes at most its bytes in hex");
                if (t.size() == 2) {
                    std::optional<std::vector<std::uint8_t>> raw = parseHex(t[1].text);
                    if (!raw || raw->empty() || raw->size() > DIRECTORY_ENTRY_SIZE || (*raw)[0] != 0)
                        return fail(e, t[1].column, "a terminator is 1 to 36 bytes in hex, the first 00");
                    terminator_ = *raw;
                }
            }
        } else if (key == "bytes") {
            if (phase_ == Phase::Directory)
                return fail(e, t[0].column, "bytes after the entries come after the terminator");
            if (phase_ == Phase::Header && framed_) phase_ = Phase::Body;
            for (std::size_t i = 1; i < t.size(); ++i) {
                std::optional<std::vector<std::uint8_t>> raw = parseHex(t[i].text);
                if (t[i].quoted || !raw) return fail(e, t[i].column, "bytes wants hex digits, two a byte");
                gap_.insert(gap_.end(), raw->begin(), raw->end());
            }
        } else if (key == "slide") {
            if (phase_ < Phase::Body)
                return fail(e, t[0].column, "a slide section comes after the terminator (or no-terminator)");
            phase_ = Phase::Slides;
            std::optional<std::int64_t> label = t.size() == 2 ? parseInteger(t[1].text) : std::nullopt;
            if (!label || t[1].quoted)
                return fail(e, t[0].column, "slide wants the number of its entry: slide 1");
            auto taker = sectionLines_.find(*label);
            if (taker == sectionLines_.end())
                return fail(e, t[1].column, "no entry " + t[1].text + " without offset= to take this slide");
            if (taker->second != 0)
                return fail(e, t[1].column,
                    "entry " + t[1].text + " already has its slide on line " + num(taker->second));
            taker->second = lineNumber;
            sections_.push_back({ *label, SlideAssembler {}, lineNumber });
        } else {
            return fail(e, t[0].column,
                "unknown line \"" + key
                    + "\" (a library text holds magic, header-spare, entry, terminator, bytes and slide "
                      "sections)");
        }
        return true;
    }

    bool LibraryAssembler::finish(int lineNumber, std::vector<std::uint8_t>& out, TextError& e)
    {
        if (!sections_.empty() && !sections_.back().slide.finish(lineNumber, e)) return false;
        out.clear();
        if (!framed_) {
            out = gap_;
            return true;
        }
        if (!terminatorGiven_ && !noTerminator_) {
            e.line = lineNumber;
            return fail(e, 1, "the directory needs its terminator line (or no-terminator)");
        }
        if (magic_.empty()) magic_.assign(LIBRARY_MAGIC, LIBRARY_MAGIC + MAGIC_FIELD_SIZE);
        if (spare_.empty()) spare_.assign(HEADER_SPARE_SIZE, 0);
        out.insert(out.end(), magic_.begin(), magic_.end());
        out.insert(out.end(), spare_.begin(), spare_.end());
        std::size_t position
            = out.size() + DIRECTORY_ENTRY_SIZE * entries_.size() + terminator_.size() + gap_.size();
        std::map<std::int64_t, std::size_t> where;
        for (const Section& s : sections_) {
            where[s.label] = position;
            position += s.slide.bytes().size();
        }
        if (position > static_cast<std::size_t>(INT32_MAX)) {
            e.line = lineNumber;
            return fail(e, 1, "the library would be larger than 2 GiB, beyond what its offsets can say");
        }
        for (const Entry& en : entries_) {
            std::int64_t offset = en.offset;
            if (!en.explicitOffset) {
                auto it = where.find(en.label);
                if (it == where.end()) {
                    e.line = en.line;
                    return fail(
                        e, en.column, "entry " + num(en.label) + " has no slide section and no offset=");
                }
                offset = static_cast<std::int64_t>(it->second);
            }
            SlideName field;
            std::memcpy(field.bytes, en.field.data(), SLIDE_NAME_SIZE);
            appendEntry(out, field, static_cast<std::int32_t>(offset));
        }
        out.insert(out.end(), terminator_.begin(), terminator_.end());
        out.insert(out.end(), gap_.begin(), gap_.end());
        for (const Section& s : sections_)
            out.insert(out.end(), s.slide.bytes().begin(), s.slide.bytes().end());
        return true;
    }

} // namespace

BuildResult buildFromText(std::string_view text)
{
    BuildResult r;
    std::vector<Token> tokens;
    int lineNumber = 0;
    bool started = false;
    SlideAssembler slide;
    LibraryAssembler library;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        std::string_view line
            = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        ++lineNumber;
        r.error.line = lineNumber;
        if (!tokenize(line, tokens, r.error)) return r;
        if (tokens.empty()) continue;
        if (!started) {
            started = true;
            const std::string& kind = tokens[0].text;
            r.library = kind == LIBRARY_TEXT_MAGIC;
            if ((kind != SLIDE_TEXT_MAGIC && kind != LIBRARY_TEXT_MAGIC) || tokens[0].quoted) {
                r.error.column = tokens[0].column;
                r.error.message = "a text form starts with \"qorvan-slide 1\" or \"qorvan-library 1\"";
                return r;
            }
            if (tokens.size() != 2 || tokens[1].text != std::to_string(TEXT_FORM_VERSION)) {
                r.error.column = tokens.size() > 1 ? tokens[1].column : tokens[0].column;
                r.error.message = "this qorvan reads version 1 of the text form";
                return r;
            }
            continue;
        }
        if (!(r.library ? library.line(lineNumber, tokens, r.error)
                        : slide.line(lineNumber, tokens, r.error)))
            return r;
    }
    if (!started) {
        r.error = { 1, 1, "the text is empty: it starts with \"qorvan-slide 1\" or \"qorvan-library 1\"" };
        return r;
    }
    if (r.library) {
        if (!library.finish(lineNumber, r.bytes, r.error)) return r;
    } else {
        if (!slide.finish(lineNumber, r.error)) return r;
        r.bytes = slide.bytes();
    }
    r.ok = true;
    return r;
}

} // namespace qorvan::inspect
