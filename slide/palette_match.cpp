#include "slide/palette_match.h"

#include <array>
#include <cmath>

#include "slide/renderer.h"

namespace qorvan::slide {
namespace {

    double linear(std::uint8_t v)
    {
        const double c = v / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }

    // Below this chroma a colour counts as gray (OKLab units; the palette's
    // grays have 0, its least saturated colour about 0.019).
    constexpr double NEUTRAL_CHROMA = 0.015;

    struct PaletteLab {
        std::array<OkLab, 256> lab;
        std::array<bool, 256> neutral;
        PaletteLab()
        {
            for (int i = 0; i < 256; ++i) {
                const ColorRef c = i == 7 ? rgb(0, 0, 0) : paletteColor(i);
                lab[static_cast<std::size_t>(i)] = toOkLab(static_cast<std::uint8_t>(redOf(c)),
                    static_cast<std::uint8_t>(greenOf(c)), static_cast<std::uint8_t>(blueOf(c)));
                neutral[static_cast<std::size_t>(i)] = redOf(c) == greenOf(c) && greenOf(c) == blueOf(c);
            }
        }
    };

} // namespace

OkLab toOkLab(std::uint8_t r8, std::uint8_t g8, std::uint8_t b8)
{
    const double r = linear(r8), g = linear(g8), b = linear(b8);
    const double l = std::cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
    const double m = std::cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
    const double s = std::cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);
    return { 0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
        1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
        0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s };
}

std::uint8_t nearestPaletteIndex(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    static const PaletteLab palette;
    const OkLab want = toOkLab(r, g, b);
    // The palette has no grays between black and (95, 95, 95), so a dark
    // gray is nearer to several dark blues and greens than to any gray;
    // a gray drawn tinted looks wrong where a lighter or darker gray does
    // not, so grays are matched among the grays only.
    const bool gray = std::hypot(want.a, want.b) < NEUTRAL_CHROMA;
    int best = 7;
    double bestDistance = INFINITY;
    for (int i = 1; i < 256; ++i) {
        if (gray && !palette.neutral[static_cast<std::size_t>(i)]) continue;
        const OkLab& p = palette.lab[static_cast<std::size_t>(i)];
        const double dl = p.l - want.l, da = p.a - want.a, db = p.b - want.b;
        const double distance = dl * dl + da * da + db * db;
        // Strictly less: among equals the lowest number wins, which keeps
        // the basic colours 1..9 ahead of their duplicates further on.
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

} // namespace qorvan::slide
