// The header check: every test runs and the last code assigned wins.
//
// A stream that ends inside the header is checked on the bytes that arrived,
// the rest taken as zero, and is then faulty in any case: an old-form header
// cut short gives 2 and a new-form one 3 (its byte-order word is missing).
// Drawing still runs and finds no records.
#include "slide/format.h"

#include <cstring>

#include "store/status.h"

namespace qorvan::slide {

int peekSlideLevel(SlideStream& stream)
{
    std::int64_t saved = stream.tell();
    std::uint8_t level = 0;
    if (!stream.seek(saved + static_cast<std::int64_t>(LEVEL_OFFSET)) || !stream.readU8(level)) level = 0;
    stream.seek(saved);
    return level;
}

namespace {

int checkCommon(const SlideHeader& h)
{
    int result = Ok;
    // Compared as NUL-terminated strings: byte 16 must be the NUL.
    if (std::memcmp(h.bytes, SLIDE_SIGNATURE, SLIDE_SIGNATURE_SIZE) != 0) result = DisplayMismatch;
    if (h.kind() != SLIDE_KIND) result = DisplayMismatch;
    if (h.fillFlag() != 0 && h.fillFlag() != 2) result = DisplayMismatch;
    return result;
}

void readHeader(SlideStream& stream, SlideHeader& header, std::size_t size)
{
    std::memset(header.bytes, 0, sizeof header.bytes);
    header.size = size;
    header.arrived = stream.read(header.bytes, size);
}

} // namespace

int readOldSlideHeader(SlideStream& stream, SlideHeader& header)
{
    readHeader(stream, header, OLD_HEADER_SIZE);
    int result = checkCommon(header);
    if (header.arrived < header.size) result = DisplayMismatch;
    return setStatus(result, nullptr, nullptr);
}

int readNewSlideHeader(SlideStream& stream, SlideHeader& header)
{
    readHeader(stream, header, NEW_HEADER_SIZE);
    int result = checkCommon(header);
    if (header.byteOrderTest() != BYTE_ORDER_TEST || header.arrived < header.size) result = InvalidSlide;
    return setStatus(result, nullptr, nullptr);
}

} // namespace qorvan::slide
