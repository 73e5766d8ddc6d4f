// From any sRGB colour to the slide colour number that looks most like it,
// for drawings made with true colours (SVG, DXF true colours).
#pragma once

#include <cstdint>

namespace qorvan::slide {

// The palette entry nearest to (r, g, b) in OKLab, where equal distances
// look about equally different, so a dark blue finds a dark blue rather
// than the black a plain RGB distance often picks.
//
// Two entries are special. Entry 0 is never chosen: slides are shown on
// black, where it vanishes, and drawing programs use that number for "by
// block" rather than a colour. Entry 7 stands for black: CAD programs and
// qorvan's renderer draw it black on light backgrounds and white on dark
// ones, which is what a black line in a drawing made for paper needs.
// Pure white therefore finds entry 255, which stays white everywhere.
std::uint8_t nearestPaletteIndex(std::uint8_t r, std::uint8_t g, std::uint8_t b);

struct OkLab {
    double l = 0, a = 0, b = 0;
};

OkLab toOkLab(std::uint8_t r, std::uint8_t g, std::uint8_t b);

} // namespace qorvan::slide
