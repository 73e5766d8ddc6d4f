// A single-stroke font for drawing text as lines: the Hershey fonts that
// Debian ships in hershey-fonts-data, read at run time. Without the files
// text cannot be drawn; importers then leave it out with a warning.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "import/drawing.h"

namespace qorvan::import {

class StrokeFont {
public:
    // Where the font files are looked for: $QORVAN_HERSHEY_DIR when set,
    // else /usr/share/hershey-fonts.
    static std::vector<std::string> searchPath();
    // Loads NAME.jhf (futural: a plain sans-serif of single strokes). Null,
    // with `error` set, when no file is found or it does not parse.
    static std::unique_ptr<StrokeFont> load(const std::string& name, std::string& error);
    static std::unique_ptr<StrokeFont> parse(std::string_view text, std::string& error);

    // Lays out one line of UTF-8 text with its baseline on y = 0 starting
    // at x = 0, capital letters one unit high, y up. Appends the strokes
    // (open polylines) and returns the advance width. Characters the font
    // lacks are drawn as '?'.
    double layout(std::string_view utf8, std::vector<Ring>& strokes) const;
    double advance(std::string_view utf8) const;

private:
    struct Glyph {
        double left = 0, right = 0;
        std::vector<std::vector<Vec2>> strokes;
    };
    const Glyph& glyph(char32_t c) const;
    std::vector<Glyph> glyphs_; // ASCII 32..126
};

// Decodes UTF-8, one code point at a time; invalid bytes become U+FFFD.
std::u32string decodeUtf8(std::string_view s);

} // namespace qorvan::import
