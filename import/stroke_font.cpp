#include "import/stroke_font.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qorvan::import {

namespace {

    // Glyph coordinates are letters counted from 'R'; capitals of the simplex
    // fonts stand from -12 to the baseline at 9, y down.
    constexpr int ORIGIN = 'R';
    constexpr double BASELINE = 9;
    constexpr double CAP_HEIGHT = 21;
    constexpr std::size_t ASCII_GLYPHS = 95;
    constexpr std::size_t MAX_FONT_BYTES = 1 << 20;

} // namespace

std::u32string decodeUtf8(std::string_view s)
{
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t cp = extra == 0 ? char32_t { c } : static_cast<char32_t>(c & (0x3F >> extra));
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((d >> 6) != 2) ok = false;
            cp = (cp << 6) | static_cast<char32_t>(d & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::vector<std::string> StrokeFont::searchPath()
{
    std::vector<std::string> dirs;
    if (const char* env = std::getenv("QORVAN_HERSHEY_DIR"); env && *env)
        dirs.emplace_back(env);
    else
        dirs.emplace_back("/usr/share/hershey-fonts");
    return dirs;
}

std::unique_ptr<StrokeFont> StrokeFont::load(const std::string& name, std::string& error)
{
    for (const std::string& dir : searchPath()) {
        const std::string path = dir + "/" + name + ".jhf";
        std::ifstream in(path, std::ios::binary);
        if (!in) continue;
        std::string text(MAX_FONT_BYTES, '\0');
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(in.gcount()));
        auto font = parse(text, error);
        if (!font) error = path + ": " + error;
        return font;
    }
    error = "no stroke font " + name + ".jhf in " + searchPath().back() + " (install hershey-fonts-data)";
    return nullptr;
}

std::unique_ptr<StrokeFont> StrokeFont::parse(std::string_view text, std::string& error)
{
    auto font = std::unique_ptr<StrokeFont>(new StrokeFont);
    std::size_t pos = 0;
    auto skipNewlines = [&] {
        while (pos < text.size() && (text[pos] == '\n' || text[pos] == '\r'))
            ++pos;
    };
    while (font->glyphs_.size() < ASCII_GLYPHS) {
        skipNewlines();
        if (pos + 8 > text.size()) break;
        int count = std::atoi(std::string(text.substr(pos + 5, 3)).c_str());
        pos += 8;
        if (count < 1) {
            error = "a glyph without its left and right bounds";
            return nullptr;
        }
        std::string pairs;
        // Long glyphs continue on the next lines.
        while (pairs.size() < 2 * static_cast<std::size_t>(count) && pos < text.size()) {
            if (text[pos] != '\n' && text[pos] != '\r') pairs.push_back(text[pos]);
            ++pos;
        }
        if (pairs.size() < 2 * static_cast<std::size_t>(count)) {
            error = "the file ends inside a glyph";
            return nullptr;
        }
        Glyph g;
        g.left = pairs[0] - ORIGIN;
        g.right = pairs[1] - ORIGIN;
        std::vector<Vec2> stroke;
        for (std::size_t i = 2; i + 1 < pairs.size(); i += 2) {
            if (pairs[i] == ' ' && pairs[i + 1] == 'R') {
                if (stroke.size() > 1) g.strokes.push_back(std::move(stroke));
                stroke.clear();
                continue;
            }
            stroke.push_back(
                { (pairs[i] - ORIGIN) / CAP_HEIGHT, (BASELINE - (pairs[i + 1] - ORIGIN)) / CAP_HEIGHT });
        }
        if (stroke.size() > 1) g.strokes.push_back(std::move(stroke));
        g.left /= CAP_HEIGHT;
        g.right /= CAP_HEIGHT;
        font->glyphs_.push_back(std::move(g));
        // A glyph line ends here; anything else on it is not ours to read.
        while (pos < text.size() && text[pos] != '\n')
            ++pos;
    }
    if (font->glyphs_.size() < ASCII_GLYPHS) {
        error = "fewer glyphs than the printable ASCII characters";
        return nullptr;
    }
    return font;
}

const StrokeFont::Glyph& StrokeFont::glyph(char32_t c) const
{
    if (c == 0xA0) c = ' ';
    if (c < 32 || c > 126) c = '?';
    return glyphs_[c - 32];
}

double StrokeFont::layout(std::string_view utf8, std::vector<Ring>& strokes) const
{
    double x = 0;
    for (char32_t c : decodeUtf8(utf8)) {
        const Glyph& g = glyph(c);
        for (const auto& s : g.strokes) {
            Ring r;
            for (Vec2 p : s)
                r.points.push_back({ x + p.x - g.left, p.y });
            strokes.push_back(std::move(r));
        }
        x += g.right - g.left;
    }
    return x;
}

double StrokeFont::advance(std::string_view utf8) const
{
    double x = 0;
    for (char32_t c : decodeUtf8(utf8))
        x += glyph(c).right - glyph(c).left;
    return x;
}

} // namespace qorvan::import
