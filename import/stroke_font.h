// A single-stroke font for drawing text as lines: the Hershey fonts that
// Debian ships in hershey-fonts-data, read at run time. Without the files
// text cannot be drawn; importers then leave it out with a warning.
//
// Beyond ASCII: Greek and Cyrillic letters from the Hershey fonts of those
// alphabets (when installed), the Latin-1 and Latin Extended letters, and
// accented Greek and Cyrillic ones, composed from their base letter and a
// drawn accent, and the signs drawings use most (degree, plus-minus,
// diameter, multiplication, middle dot, superscript two and three, micro).
#pragma once

#include <map>
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
    // lacks are drawn as '?'; private-use characters (U+E000 to U+F8FF),
    // which callers use as marks of their own, draw nothing and take no room.
    double layout(std::string_view utf8, std::vector<Ring>& strokes) const;
    double advance(std::string_view utf8) const;

private:
    struct Glyph {
        double left = 0, right = 0;
        std::vector<std::vector<Vec2>> strokes;
    };
    const Glyph& glyph(char32_t c) const;
    // The letters of the Greek and Cyrillic fonts beside `dir`'s futural,
    // then every composed letter and sign whose parts are at hand.
    void addCompanions(const std::string& dir);
    void addComposed();
    std::vector<Glyph> glyphs_; // ASCII 32..126
    std::map<char32_t, Glyph> extra_;
};

// Decodes UTF-8, one code point at a time; invalid bytes become U+FFFD.
std::u32string decodeUtf8(std::string_view s);

} // namespace qorvan::import
