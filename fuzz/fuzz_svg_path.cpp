// Arbitrary bytes as SVG path data, transform lists and colours: nothing
// may crash, the bound on commands holds, every point is a number, and a
// fault is reported inside the data.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "import/svg_color.h"
#include "import/svg_path.h"
#include "import/svg_transform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qorvan::import::svg;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<PathCommand> out;
    constexpr std::size_t LIMIT = 5000;
    const PathError e = parsePathData(text, out, LIMIT);
    if (out.size() > LIMIT) __builtin_trap();
    if (!e.ok() && e.offset > size) __builtin_trap();
    for (const PathCommand& c : out)
        for (const auto& p : c.p)
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) __builtin_trap();
    if (!out.empty() && out[0].kind != PathCommand::Move) __builtin_trap();

    Matrix m;
    std::string why;
    if (!parseTransform(text, m, why) && (m.a != 1 || m.b != 0 || m.e != 0)) __builtin_trap();
    Rgba rgba;
    if (parseColor(text, rgba) && !(rgba.alpha >= 0 && rgba.alpha <= 1)) __builtin_trap();
    Paint paint;
    parsePaint(text, paint);
    return 0;
}
