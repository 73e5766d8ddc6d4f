// The header check: every test runs and the last code assigned wins.
//
// A stream that ends inside the header is checked on the bytes that arrived
// with the rest taken as zero: a missing signature or kind fails as a wrong
// one (2), a missing byte-order word as a wrong one (3), and the records that
// follow are simply not there.
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
    return setStatus(checkCommon(header), nullptr, nullptr);
}

int readNewSlideHeader(SlideStream& stream, SlideHeader& header)
{
    readHeader(stream, header, NEW_HEADER_SIZE);
    int result = checkCommon(header);
    if (header.byteOrderTest() != BYTE_ORDER_TEST) result = InvalidSlide;
    return setStatus(result, nullptr, nullptr);
}

} // namespace qorvan::slide
