// Colours and paints as SVG and CSS write them: keywords, #rgb, #rgba,
// #rrggbb, #rrggbbaa, rgb()/rgba() with numbers or percentages in the comma
// and the space syntax, hsl()/hsla(), "transparent"; paints add "none",
// "currentColor" and url(#id) references with a fallback.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qorvan::import::svg {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0;
    double alpha = 1; // 0..1
};

// False when text is not a colour (keywords are matched without regard to
// case; surrounding white space is allowed).
bool parseColor(std::string_view text, Rgba& out);

struct Paint {
    enum Kind { None, Color, CurrentColor, Url };
    Kind kind = None;
    Rgba color; // Color, or Url's fallback when hasFallback
    std::string id; // Url: the referenced element's id, without '#'
    bool hasFallback = false;
    bool fallbackNone = false; // url(#x) none: nothing when x is unusable
};

bool parsePaint(std::string_view text, Paint& out);

} // namespace qorvan::import::svg
