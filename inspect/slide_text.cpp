// The slide half of the text form: a slide's lines, and the assembler that
// turns them back into bytes. Words are written in the byte order the text
// names, so a big-endian slide comes back big-endian.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "inspect/slide_text_p.h"
#include "platform/bytes.h"
#include "slide/byte_order.h"
#include "slide/format.h"
#include "slide/records.h"

namespace qorvan::inspect {

using slide::ByteOrder;

namespace {

    constexpr std::size_t BYTES_PER_LINE = 32;

    std::string num(long long v)
    {
        return std::to_string(v);
    }

    void addBytes(std::vector<TextLine>& lines, const std::uint8_t* data, std::size_t from, std::size_t to,
        std::int64_t base, const std::string& note)
    {
        for (std::size_t at = from; at < to; at += BYTES_PER_LINE) {
            std::size_t n = std::min(BYTES_PER_LINE, to - at);
            lines.push_back({ "bytes " + hexBytes(data + at, n), at == from ? note : "",
                base + static_cast<std::int64_t>(at), "bytes" });
        }
    }

    std::string ratioNote(double ratio)
    {
        char buf[64];
        std::snprintf(buf, sizeof buf, "ratio %.7g", ratio);
        return buf;
    }

} // namespace

std::vector<TextLine> slideLines(const std::uint8_t* data, std::size_t size, std::int64_t base)
{
    using slide::RecordKind;
    std::vector<TextLine> lines;
    const slide::HeaderFields little = slide::readHeaderFields(data, size, ByteOrder::Little);
    if (!little.complete) {
        addBytes(lines, data, 0, size, base,
            "a header cut short at " + num(static_cast<long long>(size)) + " bytes");
        return lines;
    }
    const slide::OrderGuess guess = slide::detectByteOrder(data, size);
    const ByteOrder order = guess.order;
    const slide::HeaderFields h = slide::readHeaderFields(data, size, order);
    auto at = [&](std::size_t offset) { return base + static_cast<std::int64_t>(offset); };
    auto header = [&](std::string text, std::size_t offset, std::string note = "") {
        lines.push_back({ std::move(text), std::move(note), at(offset), "header" });
    };
    lines.push_back({ std::string("byte-order ") + (order == ByteOrder::Little ? "little" : "big"),
        guess.evidence == slide::OrderEvidence::TestWord ? "told by the byte-order word"
                                                         : "guessed from the records",
        -1, "header" });
    header("signature " + quoteBytes(data, slide::SLIDE_SIGNATURE_SIZE), 0);
    header("kind " + quoteBytes(data + slide::KIND_OFFSET, 1), slide::KIND_OFFSET);
    header("level " + num(h.level), slide::LEVEL_OFFSET,
        h.oldForm ? "old form, 34-byte header" : "new form, 31-byte header");
    header("xdots " + num(h.xDots), slide::XDOTS_OFFSET);
    header("ydots " + num(h.yDots), slide::YDOTS_OFFSET);
    const std::size_t aspectSize = h.oldForm ? slide::OLD_ASPECT_SIZE : slide::NEW_ASPECT_SIZE;
    header("aspect " + hexBytes(data + slide::NEW_ASPECT_OFFSET, aspectSize), slide::NEW_ASPECT_OFFSET,
        ratioNote(h.aspect));
    if (h.oldForm) {
        header("fill-flag " + num(h.fillFlag), slide::OLD_FILL_FLAG_OFFSET);
        header("spare " + num(data[slide::OLD_SPARE_OFFSET]), slide::OLD_SPARE_OFFSET, "not examined");
    } else {
        header("fill-flag " + num(h.fillFlag), slide::NEW_FILL_FLAG_OFFSET);
        header("byte-order-word " + hexWord(h.byteOrderTest), slide::NEW_BYTE_ORDER_OFFSET);
    }

    std::size_t count = 0;
    slide::RecordWalk walk
        = slide::walkRecords(data, size, h.headerSize, order, [&](const slide::SlideRecord& r) {
              const auto lo = static_cast<std::uint8_t>(r.word & 0xFF);
              auto d = [&r](int i) { return num(r.delta[i]); };
              auto pt = [](slide::Point a) { return "(" + num(a.x) + "," + num(a.y) + ")"; };
              std::string text, note;
              switch (r.kind) {
              case RecordKind::Vector:
                  text = "vector " + num(r.from.x) + " " + num(r.from.y) + " " + num(r.to.x) + " "
                      + num(r.to.y);
                  break;
              case RecordKind::OffsetVector:
                  text = "offset " + d(0) + " " + d(1) + " " + d(2) + " " + d(3);
                  note = pt(r.from) + " to " + pt(r.to);
                  break;
              case RecordKind::CommonEndpoint:
                  text = "endpoint " + d(0) + " " + d(1);
                  note = pt(r.from) + " to " + pt(r.to);
                  break;
              case RecordKind::Colour:
                  text = "colour " + num(lo);
                  break;
              case RecordKind::End:
                  text = lo ? "end low=" + num(lo) : "end";
                  break;
              case RecordKind::Skipped:
                  text = "skip " + hexWord(r.word);
                  note = "no record type: skipped";
                  break;
              case RecordKind::SolidFill: {
                  text = "fill";
                  if (lo) text += " low=" + num(lo);
                  if (r.fillSpare) text += " second=" + hexWord(r.fillSpare);
                  const std::size_t n = r.vertices->size();
                  for (std::size_t i = 0; i < n; ++i) {
                      const slide::Point v = (*r.vertices)[i];
                      text += " " + num(v.x) + "," + num(v.y);
                      const std::uint16_t lead = (*r.vertexSpares)[i];
                      if (lead != slide::FILL_VERTEX_WORD) text += "," + hexWord(lead);
                  }
                  note = n ? num(static_cast<long long>(n)) + (n == 1 ? " vertex" : " vertices")
                           : "no vertices: draws nothing";
                  break;
              }
              }
              lines.push_back({ std::move(text), std::move(note), at(r.offset),
                  "record " + num(static_cast<long long>(++count)) });
          });
    if (walk.stopOffset < size) {
        addBytes(lines, data, walk.stopOffset, size, base,
            walk.endRecord ? "after the end record: not read" : "a record cut short: not drawn");
    }
    return lines;
}

std::string renderLines(const std::vector<TextLine>& lines, bool offsets)
{
    constexpr std::size_t COMMENT_COLUMN = 40;
    std::string out;
    for (const TextLine& l : lines) {
        std::string note = l.note;
        if (offsets && !l.positional.empty()) note = l.positional + (note.empty() ? "" : ", " + note);
        std::string comment;
        if (offsets && l.offset >= 0)
            comment = "@" + num(l.offset) + (note.empty() ? "" : ": " + note);
        else
            comment = note;
        // A blank line before each slide of a library, for the eye.
        if (l.where == "slide") out += '\n';
        out += l.text;
        if (!comment.empty()) {
            out.append(l.text.size() < COMMENT_COLUMN ? COMMENT_COLUMN - l.text.size() : 1, ' ');
            out += "# " + comment;
        }
        out += '\n';
    }
    return out;
}

std::string dumpSlide(const std::uint8_t* data, std::size_t size, bool offsets)
{
    std::string out = std::string(SLIDE_TEXT_MAGIC) + " " + num(TEXT_FORM_VERSION) + "\n";
    return out + renderLines(slideLines(data, size, 0), offsets);
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

} // namespace

bool SlideAssembler::integer(
    const Token& t, std::int64_t low, std::int64_t high, const char* what, std::int64_t& out, TextError& e)
{
    std::optional<std::int64_t> v = parseInteger(t.text);
    if (t.quoted || !v)
        return fail(e, t.column, std::string(what) + " wants a number, not \"" + t.text + "\"");
    if (*v < low || *v > high)
        return fail(
            e, t.column, std::string(what) + " must be " + num(low) + ".." + num(high) + ", not " + t.text);
    out = *v;
    return true;
}

void SlideAssembler::word(std::int64_t v)
{
    platform::appendU16(out_, static_cast<std::uint16_t>(v & 0xFFFF), order_);
}

void SlideAssembler::record(const slide::SlideRecord& r)
{
    slide::encodeRecord(r, order_, out_);
}

bool SlideAssembler::headerField(const std::vector<Token>& t, TextError& e)
{
    const std::string& key = t[0].text;
    if (headerDone_)
        return fail(e, t[0].column, key + " is a header field: it belongs before the first record");
    if (t.size() != 2) return fail(e, t[0].column, key + " wants one value");
    Field& f = fields_[key];
    if (f.given) return fail(e, t[0].column, key + " is given twice (first on line " + num(f.line) + ")");
    f.given = true;
    f.line = line_;
    f.column = t[1].column;
    const Token& v = t[1];
    if (key == "byte-order") {
        if (v.text == "little")
            order_ = ByteOrder::Little;
        else if (v.text == "big")
            order_ = ByteOrder::Big;
        else
            return fail(e, v.column, "byte-order is little or big, not " + v.text);
    } else if (key == "signature") {
        if (!v.quoted || v.text.size() != slide::SLIDE_SIGNATURE_SIZE)
            return fail(e, v.column,
                "signature wants a string of exactly 17 bytes (\"AutoCAD Slide\\r\\n\\x1a\\0\")");
        f.bytes.assign(v.text.begin(), v.text.end());
    } else if (key == "kind") {
        if (v.quoted) {
            if (v.text.size() != 1) return fail(e, v.column, "kind wants one byte, such as \"V\"");
            f.value = static_cast<std::uint8_t>(v.text[0]);
        } else if (!integer(v, 0, 255, "kind", f.value, e)) {
            return false;
        }
    } else if (key == "level" || key == "spare") {
        if (!integer(v, 0, 255, key.c_str(), f.value, e)) return false;
    } else if (key == "xdots" || key == "ydots" || key == "fill-flag" || key == "byte-order-word") {
        if (!integer(v, -32768, 65535, key.c_str(), f.value, e)) return false;
    } else if (key == "aspect") {
        if (v.text.find('.') != std::string::npos) {
            char* end = nullptr;
            f.ratio = std::strtod(v.text.c_str(), &end);
            if (v.quoted || *end != '\0' || !std::isfinite(f.ratio))
                return fail(e, v.column, "aspect wants a ratio such as 1.3333 or the raw bytes in hex");
            f.isRatio = true;
        } else {
            std::optional<std::vector<std::uint8_t>> raw = parseHex(v.text);
            if (v.quoted || !raw
                || (raw->size() != slide::NEW_ASPECT_SIZE && raw->size() != slide::OLD_ASPECT_SIZE))
                return fail(e, v.column,
                    "aspect wants 4 bytes (new form) or 8 (old form) in hex, or a ratio such as 1.3333");
            f.bytes = *raw;
        }
    }
    return true;
}

bool SlideAssembler::emitHeader(int column, TextError& e)
{
    headerDone_ = true;
    bool any = false;
    for (const auto& [key, f] : fields_)
        any = any || (f.given && key != "byte-order");
    if (!any && rawStart_) {
        raw_ = true;
        return true;
    }
    for (const char* required : { "xdots", "ydots" })
        if (!fields_[required].given)
            return fail(e, column,
                std::string("the header lacks ") + required + " (give it before the first record)");
    auto value = [&](const char* key, std::int64_t fallback) {
        const Field& f = fields_[key];
        return f.given ? f.value : fallback;
    };
    const auto level = static_cast<std::uint8_t>(value("level", 2));
    const bool old = level == slide::OLD_FORM_LEVEL;
    auto misplaced = [&](const char* key, const char* why) {
        const Field& f = fields_[key];
        e.line = f.line;
        return fail(e, f.column, std::string(key) + " " + why);
    };
    if (old && fields_["byte-order-word"].given)
        return misplaced("byte-order-word", "is a new-form field, but level 1 is the old form");
    if (!old && fields_["spare"].given)
        return misplaced("spare", "is an old-form field (level 1), but this slide is new form");
    const Field& sig = fields_["signature"];
    if (sig.given)
        out_.insert(out_.end(), sig.bytes.begin(), sig.bytes.end());
    else
        out_.insert(out_.end(), slide::SLIDE_SIGNATURE, slide::SLIDE_SIGNATURE + slide::SLIDE_SIGNATURE_SIZE);
    out_.push_back(static_cast<std::uint8_t>(value("kind", slide::SLIDE_KIND)));
    out_.push_back(level);
    const std::int64_t xdots = value("xdots", 0), ydots = value("ydots", 0);
    word(xdots);
    word(ydots);
    const Field& aspect = fields_["aspect"];
    const std::size_t aspectSize = old ? slide::OLD_ASPECT_SIZE : slide::NEW_ASPECT_SIZE;
    if (aspect.given && !aspect.isRatio) {
        if (aspect.bytes.size() != aspectSize) {
            e.line = aspect.line;
            return fail(e, aspect.column,
                "aspect holds " + num(static_cast<long long>(aspectSize)) + " bytes in the "
                    + (old ? "old" : "new") + " form, not "
                    + num(static_cast<long long>(aspect.bytes.size())));
        }
        out_.insert(out_.end(), aspect.bytes.begin(), aspect.bytes.end());
    } else {
        // A ratio, given or taken from the extent (square pixels).
        const auto sx = static_cast<std::int16_t>(xdots & 0xFFFF),
                   sy = static_cast<std::int16_t>(ydots & 0xFFFF);
        double ratio = aspect.given ? aspect.ratio : (sy != 0 ? static_cast<double>(sx) / sy : 0.0);
        std::uint8_t little[slide::OLD_ASPECT_SIZE] = {};
        if (old)
            std::memcpy(little, &ratio, sizeof ratio);
        else
            platform::putU32(little,
                static_cast<std::uint32_t>(
                    aspect.given ? slide::scaledAspect(ratio) : slide::squarePixelAspect(sx, sy)));
        for (std::size_t i = 0; i < aspectSize; ++i)
            out_.push_back(little[order_ == ByteOrder::Little ? i : aspectSize - 1 - i]);
    }
    word(value("fill-flag", slide::FILL_FLAG_FILLS));
    if (old)
        out_.push_back(static_cast<std::uint8_t>(value("spare", 0)));
    else
        word(value("byte-order-word", slide::BYTE_ORDER_TEST));
    return true;
}

bool SlideAssembler::line(int lineNumber, const std::vector<Token>& t, TextError& e)
{
    line_ = lineNumber;
    e.line = lineNumber;
    const std::string& key = t[0].text;
    static const char* const headerKeys[] = { "byte-order", "signature", "kind", "level", "xdots", "ydots",
        "aspect", "fill-flag", "spare", "byte-order-word" };
    for (const char* h : headerKeys)
        if (key == h) return headerField(t, e);
    if (t[0].quoted) return fail(e, t[0].column, "a line starts with a word, not a string");
    if (!headerDone_) {
        rawStart_ = key == "bytes";
        if (!emitHeader(t[0].column, e)) return false;
    }
    auto args = [&](std::size_t n) {
        if (t.size() == n + 1) return true;
        return fail(e, t[0].column,
            key + " wants " + num(static_cast<long long>(n)) + " values, not "
                + num(static_cast<long long>(t.size() - 1)));
    };
    std::int64_t v[4];
    if (key == "bytes") {
        for (std::size_t i = 1; i < t.size(); ++i) {
            std::optional<std::vector<std::uint8_t>> raw = parseHex(t[i].text);
            if (t[i].quoted || !raw) return fail(e, t[i].column, "bytes wants hex digits, two a byte");
            out_.insert(out_.end(), raw->begin(), raw->end());
        }
        return true;
    }
    if (raw_) return fail(e, t[0].column, "a slide whose header is given as bytes holds only bytes lines");
    using slide::RecordKind;
    slide::SlideRecord r;
    auto point = [](std::int64_t x, std::int64_t y) {
        return slide::Point { static_cast<std::int32_t>(x), static_cast<std::int32_t>(y) };
    };
    auto delta = [](std::int64_t d) { return static_cast<std::int8_t>(d); };
    if (key == "vector") {
        if (!args(4) || !integer(t[1], 0, 32767, "the from-x of a vector", v[0], e)) return false;
        for (int i = 1; i < 4; ++i)
            if (!integer(t[static_cast<std::size_t>(i) + 1], -32768, 65535, "a vector coordinate", v[i], e))
                return false;
        r.kind = RecordKind::Vector;
        r.from = point(v[0], v[1]);
        r.to = point(v[2], v[3]);
        record(r);
    } else if (key == "offset") {
        if (!args(4)) return false;
        for (int i = 0; i < 4; ++i)
            if (!integer(t[static_cast<std::size_t>(i) + 1], -128, 127, "an offset", v[i], e)) return false;
        r.kind = RecordKind::OffsetVector;
        for (int i = 0; i < 4; ++i)
            r.delta[i] = delta(v[i]);
        record(r);
    } else if (key == "endpoint") {
        if (!args(2) || !integer(t[1], -128, 127, "an offset", v[0], e)
            || !integer(t[2], -128, 127, "an offset", v[1], e))
            return false;
        r.kind = RecordKind::CommonEndpoint;
        r.delta[0] = delta(v[0]);
        r.delta[1] = delta(v[1]);
        record(r);
    } else if (key == "colour" || key == "color") {
        if (!args(1) || !integer(t[1], 0, 255, "a colour", v[0], e)) return false;
        r.kind = RecordKind::Colour;
        r.colour = static_cast<std::uint8_t>(v[0]);
        record(r);
    } else if (key == "skip") {
        if (!args(1)
            || !integer(t[1], 0x8000, 0xFAFF, "a skipped record word (high byte 0x80..0xfa)", v[0], e))
            return false;
        r.kind = RecordKind::Skipped;
        r.word = static_cast<std::uint16_t>(v[0]);
        record(r);
    } else if (key == "end") {
        std::int64_t low = 0;
        for (std::size_t i = 1; i < t.size(); ++i) {
            if (t[i].text.rfind("low=", 0) != 0) return fail(e, t[i].column, "end takes only low=N");
            Token value { t[i].text.substr(4), false, t[i].column + 4 };
            if (!integer(value, 0, 255, "low", low, e)) return false;
        }
        r.kind = RecordKind::End;
        r.word = static_cast<std::uint16_t>(low);
        record(r);
    } else if (key == "fill") {
        return fill(t, e);
    } else {
        return fail(e, t[0].column,
            "unknown line \"" + key
                + "\" (records: vector, offset, endpoint, fill, colour, skip, end, bytes)");
    }
    return true;
}

bool SlideAssembler::fill(const std::vector<Token>& t, TextError& e)
{
    std::int64_t low = 0, second = 0;
    struct Vertex {
        std::int64_t x, y, lead;
    };
    std::vector<Vertex> vertices;
    for (std::size_t i = 1; i < t.size(); ++i) {
        const Token& a = t[i];
        if (!a.quoted && (a.text.rfind("low=", 0) == 0 || a.text.rfind("second=", 0) == 0)) {
            if (!vertices.empty()) return fail(e, a.column, "low= and second= come before the vertices");
            const bool isLow = a.text[0] == 'l';
            const std::size_t skip = isLow ? 4 : 7;
            Token value { a.text.substr(skip), false, a.column + static_cast<int>(skip) };
            if (!integer(value, isLow ? 0 : -32768, isLow ? 255 : 65535, isLow ? "low" : "second",
                    isLow ? low : second, e))
                return false;
            continue;
        }
        // x,y or x,y,lead
        std::vector<std::string> pieces;
        std::vector<int> columns;
        std::size_t from = 0;
        for (;;) {
            std::size_t comma = a.text.find(',', from);
            pieces.push_back(
                a.text.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
            columns.push_back(a.column + static_cast<int>(from));
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
        if (a.quoted || pieces.size() < 2 || pieces.size() > 3)
            return fail(e, a.column, "a fill vertex is x,y (or x,y,lead-word), not " + a.text);
        std::int64_t part[3] = { 0, 0, slide::FILL_VERTEX_WORD };
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            Token piece { pieces[k], false, columns[k] };
            if (!integer(piece, k == 2 ? 0 : -32768, 65535,
                    k == 2 ? "a vertex's lead word" : "a vertex coordinate", part[k], e))
                return false;
        }
        vertices.push_back({ part[0], part[1], part[2] });
    }
    if (vertices.size() > 0xFFFF) return fail(e, t[0].column, "a fill holds at most 65535 vertices");
    std::vector<slide::Point> points;
    std::vector<std::uint16_t> leads;
    for (const Vertex& vx : vertices) {
        points.push_back({ static_cast<std::int32_t>(vx.x), static_cast<std::int32_t>(vx.y) });
        leads.push_back(static_cast<std::uint16_t>(vx.lead));
    }
    slide::SlideRecord r;
    r.kind = slide::RecordKind::SolidFill;
    r.word = static_cast<std::uint16_t>(low);
    r.fillSpare = static_cast<std::uint16_t>(second & 0xFFFF);
    r.vertices = &points;
    r.vertexSpares = &leads;
    record(r);
    return true;
}

bool SlideAssembler::finish(int lineNumber, TextError& e)
{
    e.line = lineNumber;
    if (!headerDone_) {
        bool any = false;
        for (const auto& [key, f] : fields_)
            any = any || (f.given && key != "byte-order");
        rawStart_ = !any; // nothing at all: an empty file
        return emitHeader(1, e);
    }
    return true;
}

} // namespace qorvan::inspect
