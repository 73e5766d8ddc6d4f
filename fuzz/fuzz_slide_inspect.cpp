// Arbitrary bytes as a slide and as a library, through what qorvan's info,
// check and convert read them with: the record walker, the byte-order
// judgement, re-encoding and the lenient library scan.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "slide/analysis.h"
#include "slide/byte_order.h"
#include "slide/slide_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qorvan;
    using slide::ByteOrder;
    std::vector<std::uint8_t> bytes(data, data + size);

    slide::OrderGuess order = slide::detectByteOrder(data, size);
    slide::SlideAnalysis a = slide::analyseSlide(bytes, order);
    if (a.headerCheck != 0 && a.headerCheck != 2 && a.headerCheck != 3) __builtin_trap();
    if (a.walk.stopOffset > size) __builtin_trap();

    // A re-encoded slide is whole: it ends in an end record, nothing cut.
    // Going through the other order and back changes nothing.
    std::vector<std::uint8_t> little
        = slide::transcodeSlide(data, size, order.order, ByteOrder::Little, true);
    if (!little.empty()) {
        slide::RecordWalk w = slide::walkRecords(
            little.data(), little.size(), 31, ByteOrder::Little, [](const slide::SlideRecord&) {});
        if (!w.endRecord || w.cutShort || w.stopOffset != little.size()) __builtin_trap();
        std::vector<std::uint8_t> big
            = slide::transcodeSlide(little.data(), little.size(), ByteOrder::Little, ByteOrder::Big, true);
        std::vector<std::uint8_t> back
            = slide::transcodeSlide(big.data(), big.size(), ByteOrder::Big, ByteOrder::Little, true);
        if (back != little) __builtin_trap();
    }

    slide::LibraryScan scan = slide::scanLibrary(bytes);
    if (scan.entries.size() > size / 36) __builtin_trap();
    for (const slide::ScannedEntry& e : scan.entries) {
        slide::LoadedSlide s = slide::sliceSlide(bytes, e.offset, e.size, e.name);
        if (s.bytes.size() > size) __builtin_trap();
    }
    return 0;
}
