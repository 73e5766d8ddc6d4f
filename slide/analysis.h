// What a slide holds, for info and check: its header read in its own byte
// order, the module's header check, the records by type and the area its
// drawing actually covers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "slide/byte_order.h"
#include "store/status.h"

namespace qorvan::slide {

struct SlideAnalysis {
    OrderGuess order;
    HeaderFields header; // in the slide's own order
    // The module's check of the bytes as they stand (little-endian): Ok,
    // DisplayMismatch or InvalidSlide, and the faults behind it.
    StatusCode headerCheck = Ok;
    std::vector<std::string> headerFaults;
    std::array<std::size_t, RECORD_KINDS> counts {};
    RecordWalk walk;
    // Bounding box of what the renderer draws (its clamps and folds
    // applied), in slide coordinates; only when drawn is set.
    bool drawn = false;
    std::int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;
    // Records whose points lie outside the area even after the renderer's
    // clamps and folds.
    std::size_t outside = 0;
    std::size_t firstOutside = 0; // offset of the first such record
    std::size_t firstSkipped = 0; // offset of the first unknown record word
};

SlideAnalysis analyseSlide(const std::vector<std::uint8_t>& bytes, OrderGuess order);

std::string byteOrderText(const OrderGuess& order);

} // namespace qorvan::slide
