// Arbitrary bytes as a DXF drawing, made into a slide whose records must
// read back whole; bounds smaller than the tool's keep each run quick.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "import/dxf.h"
#include "import/to_slide.h"
#include "slide/format.h"
#include "slide/records.h"
#include "slide/writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qorvan;
    import::Options options;
    options.limits.maxFileBytes = 1 << 20;
    options.limits.maxEntities = 20000;
    options.limits.maxPoints = 200000;
    options.limits.maxDepth = 8;
    options.limits.maxSegmentsPerCurve = 500;
    const import::OpenResult opened
        = import::readDxf(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.dxf", options);
    if (!opened.source) {
        if (opened.error.empty()) __builtin_trap();
        return 0;
    }
    import::SlideSize slideSize;
    slideSize.width = 300;
    slideSize.height = 200;
    std::vector<std::uint8_t> bytes;
    std::vector<std::string> warnings;
    std::string error;
    if (!import::makeSlide(*opened.source, slideSize, bytes, warnings, error)) return 0;
    const slide::RecordWalk walk = slide::walkRecords(bytes.data(), bytes.size(), slide::NEW_HEADER_SIZE,
        slide::ByteOrder::Little, [](const slide::SlideRecord& r) {
            if (r.kind == slide::RecordKind::SolidFill && r.vertices->size() > slide::MAX_FILL_VERTICES)
                __builtin_trap();
        });
    if (walk.cutShort || !walk.endRecord || walk.stopOffset != bytes.size()) __builtin_trap();
    return 0;
}
