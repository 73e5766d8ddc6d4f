// Nearest palette colour: every palette colour finds itself, the two
// special entries behave as documented, and grays and hues keep their kind.
#include <gtest/gtest.h>

#include <cmath>

#include "slide/palette_match.h"
#include "slide/renderer.h"

namespace qorvan::slide {
namespace {

    struct Rgb {
        unsigned r, g, b;
    };

    Rgb entry(int i)
    {
        const ColorRef c = paletteColor(i);
        return { redOf(c), greenOf(c), blueOf(c) };
    }

    TEST(PaletteMatch, EveryEntryFindsAnEntryOfTheSameColour)
    {
        // Entry 0 is never chosen and 7 stands for black, so both are left
        // out; duplicates (8 and 250 are both 95 gray) may find the other.
        for (int i = 1; i < 256; ++i) {
            if (i == 7) continue;
            const Rgb want = entry(i);
            const int got = nearestPaletteIndex(static_cast<std::uint8_t>(want.r),
                static_cast<std::uint8_t>(want.g), static_cast<std::uint8_t>(want.b));
            const Rgb have = entry(got);
            EXPECT_TRUE(have.r == want.r && have.g == want.g && have.b == want.b)
                << "entry " << i << " found " << got;
        }
    }

    TEST(PaletteMatch, ChosenColours)
    {
        struct Case {
            unsigned r, g, b;
            int want;
        } cases[] = {
            { 0, 0, 0, 7 }, // black is the foreground entry
            { 10, 10, 10, 7 }, // and so is nearly black
            { 255, 255, 255, 255 }, // white stays white on every background
            { 255, 0, 0, 1 },
            { 0, 0, 255, 5 },
            { 0x2e, 0x34, 0x36, 8 }, // a dark slate gray is a gray, not a dark blue
            { 0x47, 0x47, 0x47, 8 },
            { 128, 128, 128, 251 },
        };
        for (const Case& c : cases)
            EXPECT_EQ(nearestPaletteIndex(static_cast<std::uint8_t>(c.r), static_cast<std::uint8_t>(c.g),
                          static_cast<std::uint8_t>(c.b)),
                c.want)
                << c.r << "," << c.g << "," << c.b;
    }

    TEST(PaletteMatch, NeverZeroAndHuesKeepTheirFamily)
    {
        // Over a coarse cube of colours: never entry 0, and a clearly red,
        // green or blue colour finds an entry where the same channel leads.
        for (unsigned r = 0; r < 256; r += 17)
            for (unsigned g = 0; g < 256; g += 17)
                for (unsigned b = 0; b < 256; b += 17) {
                    const int i = nearestPaletteIndex(static_cast<std::uint8_t>(r),
                        static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b));
                    ASSERT_NE(i, 0);
                    const unsigned top = std::max({ r, g, b });
                    const unsigned second = r + g + b - top - std::min({ r, g, b });
                    if (top < 120 || top - second < 100) continue;
                    const Rgb e = i == 7 ? Rgb { 0, 0, 0 } : entry(i);
                    const unsigned eTop = std::max({ e.r, e.g, e.b });
                    const bool lead
                        = (top == r && e.r == eTop) || (top == g && e.g == eTop) || (top == b && e.b == eTop);
                    EXPECT_TRUE(lead) << r << "," << g << "," << b << " found " << i;
                }
    }

} // namespace
} // namespace qorvan::slide
