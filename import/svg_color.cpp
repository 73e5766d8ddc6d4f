#include "import/svg_color.h"
#include "import/svg_text.h"

#include <algorithm>
#include <cmath>

#include "import/svg_number.h"

namespace qorvan::import::svg {
namespace {

    struct Named {
        std::string_view name;
        std::uint32_t rgb;
    };

    // The CSS colour keywords, sorted for binary search.
    constexpr Named NAMED_COLORS[] = { { "aliceblue", 0xf0f8ff }, { "antiquewhite", 0xfaebd7 },
        { "aqua", 0x00ffff }, { "aquamarine", 0x7fffd4 }, { "azure", 0xf0ffff }, { "beige", 0xf5f5dc },
        { "bisque", 0xffe4c4 }, { "black", 0x000000 }, { "blanchedalmond", 0xffebcd }, { "blue", 0x0000ff },
        { "blueviolet", 0x8a2be2 }, { "brown", 0xa52a2a }, { "burlywood", 0xdeb887 },
        { "cadetblue", 0x5f9ea0 }, { "chartreuse", 0x7fff00 }, { "chocolate", 0xd2691e },
        { "coral", 0xff7f50 }, { "cornflowerblue", 0x6495ed }, { "cornsilk", 0xfff8dc },
        { "crimson", 0xdc143c }, { "cyan", 0x00ffff }, { "darkblue", 0x00008b }, { "darkcyan", 0x008b8b },
        { "darkgoldenrod", 0xb8860b }, { "darkgray", 0xa9a9a9 }, { "darkgreen", 0x006400 },
        { "darkgrey", 0xa9a9a9 }, { "darkkhaki", 0xbdb76b }, { "darkmagenta", 0x8b008b },
        { "darkolivegreen", 0x556b2f }, { "darkorange", 0xff8c00 }, { "darkorchid", 0x9932cc },
        { "darkred", 0x8b0000 }, { "darksalmon", 0xe9967a }, { "darkseagreen", 0x8fbc8f },
        { "darkslateblue", 0x483d8b }, { "darkslategray", 0x2f4f4f }, { "darkslategrey", 0x2f4f4f },
        { "darkturquoise", 0x00ced1 }, { "darkviolet", 0x9400d3 }, { "deeppink", 0xff1493 },
        { "deepskyblue", 0x00bfff }, { "dimgray", 0x696969 }, { "dimgrey", 0x696969 },
        { "dodgerblue", 0x1e90ff }, { "firebrick", 0xb22222 }, { "floralwhite", 0xfffaf0 },
        { "forestgreen", 0x228b22 }, { "fuchsia", 0xff00ff }, { "gainsboro", 0xdcdcdc },
        { "ghostwhite", 0xf8f8ff }, { "gold", 0xffd700 }, { "goldenrod", 0xdaa520 }, { "gray", 0x808080 },
        { "green", 0x008000 }, { "greenyellow", 0xadff2f }, { "grey", 0x808080 }, { "honeydew", 0xf0fff0 },
        { "hotpink", 0xff69b4 }, { "indianred", 0xcd5c5c }, { "indigo", 0x4b0082 }, { "ivory", 0xfffff0 },
        { "khaki", 0xf0e68c }, { "lavender", 0xe6e6fa }, { "lavenderblush", 0xfff0f5 },
        { "lawngreen", 0x7cfc00 }, { "lemonchiffon", 0xfffacd }, { "lightblue", 0xadd8e6 },
        { "lightcoral", 0xf08080 }, { "lightcyan", 0xe0ffff }, { "lightgoldenrodyellow", 0xfafad2 },
        { "lightgray", 0xd3d3d3 }, { "lightgreen", 0x90ee90 }, { "lightgrey", 0xd3d3d3 },
        { "lightpink", 0xffb6c1 }, { "lightsalmon", 0xffa07a }, { "lightseagreen", 0x20b2aa },
        { "lightskyblue", 0x87cefa }, { "lightslategray", 0x778899 }, { "lightslategrey", 0x778899 },
        { "lightsteelblue", 0xb0c4de }, { "lightyellow", 0xffffe0 }, { "lime", 0x00ff00 },
        { "limegreen", 0x32cd32 }, { "linen", 0xfaf0e6 }, { "magenta", 0xff00ff }, { "maroon", 0x800000 },
        { "mediumaquamarine", 0x66cdaa }, { "mediumblue", 0x0000cd }, { "mediumorchid", 0xba55d3 },
        { "mediumpurple", 0x9370db }, { "mediumseagreen", 0x3cb371 }, { "mediumslateblue", 0x7b68ee },
        { "mediumspringgreen", 0x00fa9a }, { "mediumturquoise", 0x48d1cc }, { "mediumvioletred", 0xc71585 },
        { "midnightblue", 0x191970 }, { "mintcream", 0xf5fffa }, { "mistyrose", 0xffe4e1 },
        { "moccasin", 0xffe4b5 }, { "navajowhite", 0xffdead }, { "navy", 0x000080 }, { "oldlace", 0xfdf5e6 },
        { "olive", 0x808000 }, { "olivedrab", 0x6b8e23 }, { "orange", 0xffa500 }, { "orangered", 0xff4500 },
        { "orchid", 0xda70d6 }, { "palegoldenrod", 0xeee8aa }, { "palegreen", 0x98fb98 },
        { "paleturquoise", 0xafeeee }, { "palevioletred", 0xdb7093 }, { "papayawhip", 0xffefd5 },
        { "peachpuff", 0xffdab9 }, { "peru", 0xcd853f }, { "pink", 0xffc0cb }, { "plum", 0xdda0dd },
        { "powderblue", 0xb0e0e6 }, { "purple", 0x800080 }, { "rebeccapurple", 0x663399 },
        { "red", 0xff0000 }, { "rosybrown", 0xbc8f8f }, { "royalblue", 0x4169e1 },
        { "saddlebrown", 0x8b4513 }, { "salmon", 0xfa8072 }, { "sandybrown", 0xf4a460 },
        { "seagreen", 0x2e8b57 }, { "seashell", 0xfff5ee }, { "sienna", 0xa0522d }, { "silver", 0xc0c0c0 },
        { "skyblue", 0x87ceeb }, { "slateblue", 0x6a5acd }, { "slategray", 0x708090 },
        { "slategrey", 0x708090 }, { "snow", 0xfffafa }, { "springgreen", 0x00ff7f },
        { "steelblue", 0x4682b4 }, { "tan", 0xd2b48c }, { "teal", 0x008080 }, { "thistle", 0xd8bfd8 },
        { "tomato", 0xff6347 }, { "turquoise", 0x40e0d0 }, { "violet", 0xee82ee }, { "wheat", 0xf5deb3 },
        { "white", 0xffffff }, { "whitesmoke", 0xf5f5f5 }, { "yellow", 0xffff00 },
        { "yellowgreen", 0x9acd32 } };

    std::string lower(std::string_view s)
    {
        std::string out(s);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        return out;
    }

    int hexValue(char c)
    {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    std::uint8_t channel(double v)
    {
        return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
    }

    bool parseHex(std::string_view h, Rgba& out)
    {
        int v[8];
        if (h.size() > 8) return false;
        for (std::size_t i = 0; i < h.size(); ++i)
            if ((v[i] = hexValue(h[i])) < 0) return false;
        switch (h.size()) {
        case 3:
        case 4:
            out.r = static_cast<std::uint8_t>(v[0] * 17);
            out.g = static_cast<std::uint8_t>(v[1] * 17);
            out.b = static_cast<std::uint8_t>(v[2] * 17);
            out.alpha = h.size() == 4 ? v[3] * 17 / 255.0 : 1;
            return true;
        case 6:
        case 8:
            out.r = static_cast<std::uint8_t>(v[0] * 16 + v[1]);
            out.g = static_cast<std::uint8_t>(v[2] * 16 + v[3]);
            out.b = static_cast<std::uint8_t>(v[4] * 16 + v[5]);
            out.alpha = h.size() == 8 ? (v[6] * 16 + v[7]) / 255.0 : 1;
            return true;
        default:
            return false;
        }
    }

    // One argument of rgb() or hsl(): a number with an optional unit.
    struct Arg {
        double value = 0;
        std::string unit; // "", "%", "deg", "rad", "grad", "turn"
    };

    // Splits "a, b, c" or "a b c / d" into at most four arguments; the alpha
    // is the fourth either way.
    bool parseArgs(std::string_view body, Arg* args, int& count)
    {
        count = 0;
        std::size_t pos = 0;
        bool commas = false, slash = false;
        while (true) {
            while (pos < body.size() && isSpace(body[pos]))
                ++pos;
            if (pos >= body.size()) break;
            if (count > 0) {
                if (body[pos] == ',') {
                    if (count == 1)
                        commas = true;
                    else if (!commas)
                        return false;
                    ++pos;
                } else if (body[pos] == '/') {
                    if (commas || slash || count != 3) return false;
                    slash = true;
                    ++pos;
                } else if (commas) {
                    return false;
                }
                while (pos < body.size() && isSpace(body[pos]))
                    ++pos;
            }
            if (count == 4) return false;
            std::size_t used = 0;
            if (scanNumber(body.substr(pos), args[count].value, used) != NumberScan::Ok) return false;
            pos += used;
            std::size_t unitEnd = pos;
            while (unitEnd < body.size()
                && (body[unitEnd] == '%' || (body[unitEnd] >= 'a' && body[unitEnd] <= 'z')))
                ++unitEnd;
            args[count].unit = std::string(body.substr(pos, unitEnd - pos));
            pos = unitEnd;
            ++count;
        }
        return count == 3 || count == 4;
    }

    double alphaOf(const Arg& a)
    {
        if (a.unit == "%") return std::clamp(a.value / 100, 0.0, 1.0);
        return std::clamp(a.value, 0.0, 1.0);
    }

    bool parseRgbFunction(std::string_view body, Rgba& out)
    {
        Arg a[4];
        int n = 0;
        if (!parseArgs(body, a, n)) return false;
        std::uint8_t c[3];
        for (int i = 0; i < 3; ++i) {
            if (a[i].unit == "%")
                c[i] = channel(a[i].value * 255 / 100);
            else if (a[i].unit.empty())
                c[i] = channel(a[i].value);
            else
                return false;
        }
        if (n == 4 && !(a[3].unit.empty() || a[3].unit == "%")) return false;
        out = { c[0], c[1], c[2], n == 4 ? alphaOf(a[3]) : 1 };
        return true;
    }

    double hueToRgb(double m1, double m2, double h)
    {
        if (h < 0) h += 1;
        if (h > 1) h -= 1;
        if (h * 6 < 1) return m1 + (m2 - m1) * h * 6;
        if (h * 2 < 1) return m2;
        if (h * 3 < 2) return m1 + (m2 - m1) * (2.0 / 3 - h) * 6;
        return m1;
    }

    bool parseHslFunction(std::string_view body, Rgba& out)
    {
        Arg a[4];
        int n = 0;
        if (!parseArgs(body, a, n)) return false;
        double turns = a[0].value / 360;
        if (a[0].unit == "rad")
            turns = a[0].value / (2 * 3.14159265358979323846);
        else if (a[0].unit == "grad")
            turns = a[0].value / 400;
        else if (a[0].unit == "turn")
            turns = a[0].value;
        else if (!(a[0].unit.empty() || a[0].unit == "deg"))
            return false;
        if (a[1].unit != "%" || a[2].unit != "%") return false;
        if (n == 4 && !(a[3].unit.empty() || a[3].unit == "%")) return false;
        const double h = turns - std::floor(turns);
        const double s = std::clamp(a[1].value / 100, 0.0, 1.0);
        const double l = std::clamp(a[2].value / 100, 0.0, 1.0);
        const double m2 = l <= 0.5 ? l * (s + 1) : l + s - l * s;
        const double m1 = l * 2 - m2;
        out = { channel(hueToRgb(m1, m2, h + 1.0 / 3) * 255), channel(hueToRgb(m1, m2, h) * 255),
            channel(hueToRgb(m1, m2, h - 1.0 / 3) * 255), n == 4 ? alphaOf(a[3]) : 1 };
        return true;
    }

} // namespace

bool parseColor(std::string_view text, Rgba& out)
{
    text = trim(text);
    if (text.empty()) return false;
    if (text.front() == '#') return parseHex(text.substr(1), out);
    const std::size_t open = text.find('(');
    if (open != std::string_view::npos) {
        if (text.back() != ')') return false;
        const std::string name = lower(trim(text.substr(0, open)));
        const std::string_view body = text.substr(open + 1, text.size() - open - 2);
        if (name == "rgb" || name == "rgba") return parseRgbFunction(body, out);
        if (name == "hsl" || name == "hsla") return parseHslFunction(body, out);
        return false;
    }
    const std::string name = lower(text);
    if (name == "transparent") {
        out = { 0, 0, 0, 0 };
        return true;
    }
    const auto it = std::lower_bound(std::begin(NAMED_COLORS), std::end(NAMED_COLORS), name,
        [](const Named& n, const std::string& key) { return n.name < key; });
    if (it == std::end(NAMED_COLORS) || it->name != name) return false;
    out = { static_cast<std::uint8_t>(it->rgb >> 16), static_cast<std::uint8_t>(it->rgb >> 8),
        static_cast<std::uint8_t>(it->rgb), 1 };
    return true;
}

bool parsePaint(std::string_view text, Paint& out)
{
    text = trim(text);
    out = Paint {};
    const std::string low = lower(text);
    if (low == "none") {
        out.kind = Paint::None;
        return true;
    }
    if (low == "currentcolor") {
        out.kind = Paint::CurrentColor;
        return true;
    }
    if (low.starts_with("url(")) {
        const std::size_t close = text.find(')');
        if (close == std::string_view::npos) return false;
        std::string_view ref = trim(text.substr(4, close - 4));
        if (ref.size() >= 2 && (ref.front() == '"' || ref.front() == '\'') && ref.back() == ref.front())
            ref = ref.substr(1, ref.size() - 2);
        if (ref.empty() || ref.front() != '#') return false;
        out.kind = Paint::Url;
        out.id = std::string(ref.substr(1));
        const std::string_view rest = trim(text.substr(close + 1));
        if (!rest.empty()) {
            if (lower(rest) == "none") {
                out.fallbackNone = true;
            } else if (Rgba c; parseColor(rest, c)) {
                out.hasFallback = true;
                out.color = c;
            } else {
                return false;
            }
        }
        return true;
    }
    if (!parseColor(text, out.color)) return false;
    out.kind = Paint::Color;
    return true;
}

} // namespace qorvan::import::svg
