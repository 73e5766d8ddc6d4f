// The header reader and check: every test runs and the last code assigned
// wins.
//
// A stream that ends inside the header is checked on the bytes that arrived,
// the rest taken as zero, and is then faulty in any case: an old-form header
// cut short gives 2 and a new-form one 3 (its byte-order word is missing).
// Drawing still runs and finds no records.
#include "slide/format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace qorvan::slide {

namespace {

    // New-form slides store the display ratio as a 32-bit integer scaled by
    // this; old-form slides store it as an 8-byte floating value.
    constexpr double ASPECT_SCALE = 10000000.0;

    // Multi-byte values other than words are stored whole in the machine's
    // order, so a big-endian one is the little-endian one reversed.
    void copyOrdered(const std::uint8_t* p, std::size_t n, ByteOrder order, std::uint8_t* little)
    {
        for (std::size_t i = 0; i < n; ++i)
            little[i] = order == ByteOrder::Little ? p[i] : p[n - 1 - i];
    }

    std::int32_t roundedAspect(double scaled)
    {
        scaled = std::round(scaled);
        return std::fabs(scaled) <= 2147483647.0 ? static_cast<std::int32_t>(scaled) : 0;
    }

    void readHeader(SlideStream& stream, SlideHeader& header, std::size_t size)
    {
        std::memset(header.bytes, 0, sizeof header.bytes);
        header.size = size;
        header.arrived = stream.read(header.bytes, size);
    }

} // namespace

HeaderFields readHeaderFields(const std::uint8_t* data, std::size_t size, ByteOrder order)
{
    HeaderFields h;
    if (size <= LEVEL_OFFSET) return h;
    h.level = data[LEVEL_OFFSET];
    h.oldForm = h.level == OLD_FORM_LEVEL;
    h.headerSize = h.oldForm ? OLD_HEADER_SIZE : NEW_HEADER_SIZE;
    if (size < h.headerSize) return h;
    h.complete = true;
    h.xDots = platform::getI16(data + XDOTS_OFFSET, order);
    h.yDots = platform::getI16(data + YDOTS_OFFSET, order);
    if (h.oldForm) {
        h.fillFlag = platform::getU16(data + OLD_FILL_FLAG_OFFSET, order);
        std::uint8_t little[8];
        copyOrdered(data + OLD_ASPECT_OFFSET, 8, order, little);
        std::memcpy(&h.aspect, little, sizeof h.aspect);
        if (!std::isfinite(h.aspect)) h.aspect = 0;
    } else {
        h.fillFlag = platform::getU16(data + NEW_FILL_FLAG_OFFSET, order);
        h.byteOrderTest = platform::getU16(data + NEW_BYTE_ORDER_OFFSET, order);
        h.aspect = platform::getI32(data + NEW_ASPECT_OFFSET, order) / ASPECT_SCALE;
    }
    return h;
}

bool selectsOldForm(const std::uint8_t* data, std::size_t size)
{
    return size > LEVEL_OFFSET && data[LEVEL_OFFSET] == OLD_FORM_LEVEL;
}

unsigned slideHeaderFaults(const std::uint8_t* data, std::size_t arrived, bool oldForm)
{
    std::uint8_t b[OLD_HEADER_SIZE] = {};
    // An empty slide may come as a null pointer, which memcpy may not be given.
    if (arrived > 0) std::memcpy(b, data, arrived < sizeof b ? arrived : sizeof b);
    const std::size_t size = oldForm ? OLD_HEADER_SIZE : NEW_HEADER_SIZE;
    unsigned faults = 0;
    if (arrived < size) faults |= HEADER_CUT_SHORT;
    // Compared as NUL-terminated strings: byte 16 must be the NUL.
    if (std::memcmp(b, SLIDE_SIGNATURE, SLIDE_SIGNATURE_SIZE) != 0) faults |= HEADER_SIGNATURE;
    if (b[KIND_OFFSET] != SLIDE_KIND) faults |= HEADER_KIND;
    const std::uint16_t fill = platform::getU16(b + (oldForm ? OLD_FILL_FLAG_OFFSET : NEW_FILL_FLAG_OFFSET));
    if (fill != FILL_FLAG_NONE && fill != FILL_FLAG_FILLS) faults |= HEADER_FILL_FLAG;
    if (!oldForm && platform::getU16(b + NEW_BYTE_ORDER_OFFSET) != BYTE_ORDER_TEST)
        faults |= HEADER_BYTE_ORDER;
    return faults;
}

std::string headerFaultText(HeaderFault fault, const std::uint8_t* data, std::size_t arrived, bool oldForm)
{
    std::uint8_t b[OLD_HEADER_SIZE] = {};
    // An empty slide has no bytes, and memcpy may not take null even for nothing.
    if (arrived > 0) std::memcpy(b, data, arrived < sizeof b ? arrived : sizeof b);
    switch (fault) {
    case HEADER_CUT_SHORT:
        return "header cut short (" + std::to_string(arrived) + " bytes)";
    case HEADER_SIGNATURE:
        return "signature is not \"AutoCAD Slide\"";
    case HEADER_KIND:
        return "kind is not V";
    case HEADER_FILL_FLAG:
        return "fill flag "
            + std::to_string(platform::getU16(b + (oldForm ? OLD_FILL_FLAG_OFFSET : NEW_FILL_FLAG_OFFSET)))
            + " is neither 0 nor 2";
    case HEADER_BYTE_ORDER: {
        char text[64];
        std::snprintf(text, sizeof text, "byte-order word reads 0x%04X, not 0x1234",
            platform::getU16(b + NEW_BYTE_ORDER_OFFSET));
        return text;
    }
    }
    return "header fault";
}

StatusCode headerStatus(unsigned faults, bool oldForm)
{
    if (!oldForm && (faults & (HEADER_CUT_SHORT | HEADER_BYTE_ORDER))) return InvalidSlide;
    return faults ? DisplayMismatch : Ok;
}

bool encodeSlideHeader(const std::uint8_t* data, std::size_t size, ByteOrder from, ByteOrder to, bool newForm,
    std::vector<std::uint8_t>& out)
{
    return encodeSlideHeader(data, size, from, to, newForm ? SlideForm::New : SlideForm::Keep, out);
}

bool encodeSlideHeader(const std::uint8_t* data, std::size_t size, ByteOrder from, ByteOrder to,
    SlideForm form, std::vector<std::uint8_t>& out)
{
    const HeaderFields h = readHeaderFields(data, size, from);
    if (!h.complete) return false;
    const bool writeOld = form == SlideForm::Old || (form == SlideForm::Keep && h.oldForm);
    if (writeOld) {
        out.insert(out.end(), data, data + LEVEL_OFFSET);
        out.push_back(OLD_FORM_LEVEL);
        platform::appendU16(out, static_cast<std::uint16_t>(h.xDots), to);
        platform::appendU16(out, static_cast<std::uint16_t>(h.yDots), to);
        std::uint8_t little[8];
        if (h.oldForm)
            copyOrdered(data + OLD_ASPECT_OFFSET, OLD_ASPECT_SIZE, from, little);
        else
            std::memcpy(little, &h.aspect, sizeof h.aspect);
        for (int i = 0; i < 8; ++i)
            out.push_back(little[to == ByteOrder::Little ? i : 7 - i]);
        platform::appendU16(out, h.fillFlag, to);
        out.push_back(h.oldForm ? data[OLD_SPARE_OFFSET] : std::uint8_t { 0 });
        return true;
    }
    std::int32_t aspect = 0;
    if (h.oldForm) {
        // Any signed 32-bit value, so a ratio that came from the new form
        // goes back to the integer it was.
        aspect = scaledAspect(h.aspect);
    } else {
        aspect = platform::getI32(data + NEW_ASPECT_OFFSET, from);
    }
    const std::size_t start = out.size();
    appendNewSlideHeader(out, h.xDots, h.yDots, aspect, h.fillFlag, to);
    // A copy keeps its own signature and kind bytes, even faulty ones, and
    // its own level unless that was the old form's.
    std::copy(data, data + LEVEL_OFFSET, out.begin() + static_cast<std::ptrdiff_t>(start));
    out[start + LEVEL_OFFSET] = h.oldForm ? NEW_FORM_LEVEL : h.level;
    return true;
}

std::int32_t scaledAspect(double ratio)
{
    return roundedAspect(ratio * ASPECT_SCALE);
}

std::int32_t squarePixelAspect(std::int32_t xDots, std::int32_t yDots)
{
    return yDots == 0 ? 0 : roundedAspect(ASPECT_SCALE * xDots / yDots);
}

void appendNewSlideHeader(std::vector<std::uint8_t>& out, std::int32_t xDots, std::int32_t yDots,
    std::int32_t aspect, std::uint16_t fillFlag, ByteOrder order)
{
    out.insert(out.end(), SLIDE_SIGNATURE, SLIDE_SIGNATURE + SLIDE_SIGNATURE_SIZE);
    out.push_back(static_cast<std::uint8_t>(SLIDE_KIND));
    out.push_back(NEW_FORM_LEVEL);
    platform::appendU16(out, static_cast<std::uint16_t>(xDots), order);
    platform::appendU16(out, static_cast<std::uint16_t>(yDots), order);
    platform::appendU32(out, static_cast<std::uint32_t>(aspect), order);
    platform::appendU16(out, fillFlag, order);
    platform::appendU16(out, BYTE_ORDER_TEST, order);
}

int peekSlideLevel(SlideStream& stream)
{
    std::int64_t saved = stream.tell();
    std::uint8_t level = 0;
    if (!stream.seek(saved + static_cast<std::int64_t>(LEVEL_OFFSET)) || !stream.readU8(level)) level = 0;
    stream.seek(saved);
    return level;
}

StatusCode readOldSlideHeader(SlideStream& stream, SlideHeader& header)
{
    readHeader(stream, header, OLD_HEADER_SIZE);
    unsigned faults = slideHeaderFaults(header.bytes, header.arrived, true);
    return setStatus(headerStatus(faults, true), nullptr, nullptr);
}

StatusCode readNewSlideHeader(SlideStream& stream, SlideHeader& header)
{
    readHeader(stream, header, NEW_HEADER_SIZE);
    unsigned faults = slideHeaderFaults(header.bytes, header.arrived, false);
    return setStatus(headerStatus(faults, false), nullptr, nullptr);
}

StatusCode readSlideHeader(SlideStream& stream, SlideHeader& header)
{
    return peekSlideLevel(stream) == OLD_FORM_LEVEL ? readOldSlideHeader(stream, header)
                                                    : readNewSlideHeader(stream, header);
}

} // namespace qorvan::slide
