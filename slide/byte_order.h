// Slides written high byte first, as big-endian machines wrote them: telling
// them apart and re-encoding a slide in either order and form. The module
// itself reads every slide little-endian; only the tools use this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "slide/format.h"
#include "slide/records.h"

namespace qorvan::slide {

// How the order was decided, for the tools to say so.
enum class OrderEvidence { TestWord, Plausibility };

struct OrderGuess {
    ByteOrder order = ByteOrder::Little;
    OrderEvidence evidence = OrderEvidence::TestWord;
};

// A new-form slide says its order in its test word (0x1234 read
// little-endian, 0x3412 big-endian). An old-form slide, or a new-form one
// whose word is neither, is read both ways and the reading whose header and
// records make more sense wins (little-endian on a tie).
OrderGuess detectByteOrder(const std::uint8_t* data, std::size_t size);

// The same drawing re-encoded: the header and every record's 16-bit words in
// `to` order, in the given form. Records are copied up to and including the
// end record; a record cut short is dropped, and an end record is always
// written. The display ratio moves between the new form's scaled integer and
// the old form's 8-byte value; a new-form slide's level becomes 1 in the old
// form and an old-form slide's level 2 in the new. Empty when the header is
// cut short.
std::vector<std::uint8_t> transcodeSlide(
    const std::uint8_t* data, std::size_t size, ByteOrder from, ByteOrder to, SlideForm form);
// newForm: SlideForm::New, else SlideForm::Keep.
std::vector<std::uint8_t> transcodeSlide(
    const std::uint8_t* data, std::size_t size, ByteOrder from, ByteOrder to, bool newForm);

} // namespace qorvan::slide
