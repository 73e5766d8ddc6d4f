#include "import/stroke_font.h"

#include <algorithm>
#include <cmath>
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
    constexpr double X_HEIGHT = 14.0 / CAP_HEIGHT; // of the simplex lowercase letters

    enum class Mark {
        Grave,
        Acute,
        Circumflex,
        Tilde,
        Macron,
        Breve,
        DotAbove,
        Diaeresis,
        Ring,
        DoubleAcute,
        Caron,
        Cedilla,
        Ogonek
    };

    struct Composed {
        char32_t letter, base;
        Mark mark;
    };

    // Every letter of Latin-1, Latin Extended-A and -B, Greek and Cyrillic
    // that is a base letter and one accent, by Unicode's decompositions.
    constexpr Composed COMPOSED[] = {
        { 0x00C0, 0x0041, Mark::Grave }, // latin capital letter a with grave
        { 0x00C1, 0x0041, Mark::Acute }, // latin capital letter a with acute
        { 0x00C2, 0x0041, Mark::Circumflex }, // latin capital letter a with circumflex
        { 0x00C3, 0x0041, Mark::Tilde }, // latin capital letter a with tilde
        { 0x00C4, 0x0041, Mark::Diaeresis }, // latin capital letter a with diaeresis
        { 0x00C5, 0x0041, Mark::Ring }, // latin capital letter a with ring above
        { 0x00C7, 0x0043, Mark::Cedilla }, // latin capital letter c with cedilla
        { 0x00C8, 0x0045, Mark::Grave }, // latin capital letter e with grave
        { 0x00C9, 0x0045, Mark::Acute }, // latin capital letter e with acute
        { 0x00CA, 0x0045, Mark::Circumflex }, // latin capital letter e with circumflex
        { 0x00CB, 0x0045, Mark::Diaeresis }, // latin capital letter e with diaeresis
        { 0x00CC, 0x0049, Mark::Grave }, // latin capital letter i with grave
        { 0x00CD, 0x0049, Mark::Acute }, // latin capital letter i with acute
        { 0x00CE, 0x0049, Mark::Circumflex }, // latin capital letter i with circumflex
        { 0x00CF, 0x0049, Mark::Diaeresis }, // latin capital letter i with diaeresis
        { 0x00D1, 0x004E, Mark::Tilde }, // latin capital letter n with tilde
        { 0x00D2, 0x004F, Mark::Grave }, // latin capital letter o with grave
        { 0x00D3, 0x004F, Mark::Acute }, // latin capital letter o with acute
        { 0x00D4, 0x004F, Mark::Circumflex }, // latin capital letter o with circumflex
        { 0x00D5, 0x004F, Mark::Tilde }, // latin capital letter o with tilde
        { 0x00D6, 0x004F, Mark::Diaeresis }, // latin capital letter o with diaeresis
        { 0x00D9, 0x0055, Mark::Grave }, // latin capital letter u with grave
        { 0x00DA, 0x0055, Mark::Acute }, // latin capital letter u with acute
        { 0x00DB, 0x0055, Mark::Circumflex }, // latin capital letter u with circumflex
        { 0x00DC, 0x0055, Mark::Diaeresis }, // latin capital letter u with diaeresis
        { 0x00DD, 0x0059, Mark::Acute }, // latin capital letter y with acute
        { 0x00E0, 0x0061, Mark::Grave }, // latin small letter a with grave
        { 0x00E1, 0x0061, Mark::Acute }, // latin small letter a with acute
        { 0x00E2, 0x0061, Mark::Circumflex }, // latin small letter a with circumflex
        { 0x00E3, 0x0061, Mark::Tilde }, // latin small letter a with tilde
        { 0x00E4, 0x0061, Mark::Diaeresis }, // latin small letter a with diaeresis
        { 0x00E5, 0x0061, Mark::Ring }, // latin small letter a with ring above
        { 0x00E7, 0x0063, Mark::Cedilla }, // latin small letter c with cedilla
        { 0x00E8, 0x0065, Mark::Grave }, // latin small letter e with grave
        { 0x00E9, 0x0065, Mark::Acute }, // latin small letter e with acute
        { 0x00EA, 0x0065, Mark::Circumflex }, // latin small letter e with circumflex
        { 0x00EB, 0x0065, Mark::Diaeresis }, // latin small letter e with diaeresis
        { 0x00EC, 0x0069, Mark::Grave }, // latin small letter i with grave
        { 0x00ED, 0x0069, Mark::Acute }, // latin small letter i with acute
        { 0x00EE, 0x0069, Mark::Circumflex }, // latin small letter i with circumflex
        { 0x00EF, 0x0069, Mark::Diaeresis }, // latin small letter i with diaeresis
        { 0x00F1, 0x006E, Mark::Tilde }, // latin small letter n with tilde
        { 0x00F2, 0x006F, Mark::Grave }, // latin small letter o with grave
        { 0x00F3, 0x006F, Mark::Acute }, // latin small letter o with acute
        { 0x00F4, 0x006F, Mark::Circumflex }, // latin small letter o with circumflex
        { 0x00F5, 0x006F, Mark::Tilde }, // latin small letter o with tilde
        { 0x00F6, 0x006F, Mark::Diaeresis }, // latin small letter o with diaeresis
        { 0x00F9, 0x0075, Mark::Grave }, // latin small letter u with grave
        { 0x00FA, 0x0075, Mark::Acute }, // latin small letter u with acute
        { 0x00FB, 0x0075, Mark::Circumflex }, // latin small letter u with circumflex
        { 0x00FC, 0x0075, Mark::Diaeresis }, // latin small letter u with diaeresis
        { 0x00FD, 0x0079, Mark::Acute }, // latin small letter y with acute
        { 0x00FF, 0x0079, Mark::Diaeresis }, // latin small letter y with diaeresis
        { 0x0100, 0x0041, Mark::Macron }, // latin capital letter a with macron
        { 0x0101, 0x0061, Mark::Macron }, // latin small letter a with macron
        { 0x0102, 0x0041, Mark::Breve }, // latin capital letter a with breve
        { 0x0103, 0x0061, Mark::Breve }, // latin small letter a with breve
        { 0x0104, 0x0041, Mark::Ogonek }, // latin capital letter a with ogonek
        { 0x0105, 0x0061, Mark::Ogonek }, // latin small letter a with ogonek
        { 0x0106, 0x0043, Mark::Acute }, // latin capital letter c with acute
        { 0x0107, 0x0063, Mark::Acute }, // latin small letter c with acute
        { 0x0108, 0x0043, Mark::Circumflex }, // latin capital letter c with circumflex
        { 0x0109, 0x0063, Mark::Circumflex }, // latin small letter c with circumflex
        { 0x010A, 0x0043, Mark::DotAbove }, // latin capital letter c with dot above
        { 0x010B, 0x0063, Mark::DotAbove }, // latin small letter c with dot above
        { 0x010C, 0x0043, Mark::Caron }, // latin capital letter c with caron
        { 0x010D, 0x0063, Mark::Caron }, // latin small letter c with caron
        { 0x010E, 0x0044, Mark::Caron }, // latin capital letter d with caron
        { 0x010F, 0x0064, Mark::Caron }, // latin small letter d with caron
        { 0x0112, 0x0045, Mark::Macron }, // latin capital letter e with macron
        { 0x0113, 0x0065, Mark::Macron }, // latin small letter e with macron
        { 0x0114, 0x0045, Mark::Breve }, // latin capital letter e with breve
        { 0x0115, 0x0065, Mark::Breve }, // latin small letter e with breve
        { 0x0116, 0x0045, Mark::DotAbove }, // latin capital letter e with dot above
        { 0x0117, 0x0065, Mark::DotAbove }, // latin small letter e with dot above
        { 0x0118, 0x0045, Mark::Ogonek }, // latin capital letter e with ogonek
        { 0x0119, 0x0065, Mark::Ogonek }, // latin small letter e with ogonek
        { 0x011A, 0x0045, Mark::Caron }, // latin capital letter e with caron
        { 0x011B, 0x0065, Mark::Caron }, // latin small letter e with caron
        { 0x011C, 0x0047, Mark::Circumflex }, // latin capital letter g with circumflex
        { 0x011D, 0x0067, Mark::Circumflex }, // latin small letter g with circumflex
        { 0x011E, 0x0047, Mark::Breve }, // latin capital letter g with breve
        { 0x011F, 0x0067, Mark::Breve }, // latin small letter g with breve
        { 0x0120, 0x0047, Mark::DotAbove }, // latin capital letter g with dot above
        { 0x0121, 0x0067, Mark::DotAbove }, // latin small letter g with dot above
        { 0x0122, 0x0047, Mark::Cedilla }, // latin capital letter g with cedilla
        { 0x0123, 0x0067, Mark::Cedilla }, // latin small letter g with cedilla
        { 0x0124, 0x0048, Mark::Circumflex }, // latin capital letter h with circumflex
        { 0x0125, 0x0068, Mark::Circumflex }, // latin small letter h with circumflex
        { 0x0128, 0x0049, Mark::Tilde }, // latin capital letter i with tilde
        { 0x0129, 0x0069, Mark::Tilde }, // latin small letter i with tilde
        { 0x012A, 0x0049, Mark::Macron }, // latin capital letter i with macron
        { 0x012B, 0x0069, Mark::Macron }, // latin small letter i with macron
        { 0x012C, 0x0049, Mark::Breve }, // latin capital letter i with breve
        { 0x012D, 0x0069, Mark::Breve }, // latin small letter i with breve
        { 0x012E, 0x0049, Mark::Ogonek }, // latin capital letter i with ogonek
        { 0x012F, 0x0069, Mark::Ogonek }, // latin small letter i with ogonek
        { 0x0130, 0x0049, Mark::DotAbove }, // latin capital letter i with dot above
        { 0x0134, 0x004A, Mark::Circumflex }, // latin capital letter j with circumflex
        { 0x0135, 0x006A, Mark::Circumflex }, // latin small letter j with circumflex
        { 0x0136, 0x004B, Mark::Cedilla }, // latin capital letter k with cedilla
        { 0x0137, 0x006B, Mark::Cedilla }, // latin small letter k with cedilla
        { 0x0139, 0x004C, Mark::Acute }, // latin capital letter l with acute
        { 0x013A, 0x006C, Mark::Acute }, // latin small letter l with acute
        { 0x013B, 0x004C, Mark::Cedilla }, // latin capital letter l with cedilla
        { 0x013C, 0x006C, Mark::Cedilla }, // latin small letter l with cedilla
        { 0x013D, 0x004C, Mark::Caron }, // latin capital letter l with caron
        { 0x013E, 0x006C, Mark::Caron }, // latin small letter l with caron
        { 0x0143, 0x004E, Mark::Acute }, // latin capital letter n with acute
        { 0x0144, 0x006E, Mark::Acute }, // latin small letter n with acute
        { 0x0145, 0x004E, Mark::Cedilla }, // latin capital letter n with cedilla
        { 0x0146, 0x006E, Mark::Cedilla }, // latin small letter n with cedilla
        { 0x0147, 0x004E, Mark::Caron }, // latin capital letter n with caron
        { 0x0148, 0x006E, Mark::Caron }, // latin small letter n with caron
        { 0x014C, 0x004F, Mark::Macron }, // latin capital letter o with macron
        { 0x014D, 0x006F, Mark::Macron }, // latin small letter o with macron
        { 0x014E, 0x004F, Mark::Breve }, // latin capital letter o with breve
        { 0x014F, 0x006F, Mark::Breve }, // latin small letter o with breve
        { 0x0150, 0x004F, Mark::DoubleAcute }, // latin capital letter o with double acute
        { 0x0151, 0x006F, Mark::DoubleAcute }, // latin small letter o with double acute
        { 0x0154, 0x0052, Mark::Acute }, // latin capital letter r with acute
        { 0x0155, 0x0072, Mark::Acute }, // latin small letter r with acute
        { 0x0156, 0x0052, Mark::Cedilla }, // latin capital letter r with cedilla
        { 0x0157, 0x0072, Mark::Cedilla }, // latin small letter r with cedilla
        { 0x0158, 0x0052, Mark::Caron }, // latin capital letter r with caron
        { 0x0159, 0x0072, Mark::Caron }, // latin small letter r with caron
        { 0x015A, 0x0053, Mark::Acute }, // latin capital letter s with acute
        { 0x015B, 0x0073, Mark::Acute }, // latin small letter s with acute
        { 0x015C, 0x0053, Mark::Circumflex }, // latin capital letter s with circumflex
        { 0x015D, 0x0073, Mark::Circumflex }, // latin small letter s with circumflex
        { 0x015E, 0x0053, Mark::Cedilla }, // latin capital letter s with cedilla
        { 0x015F, 0x0073, Mark::Cedilla }, // latin small letter s with cedilla
        { 0x0160, 0x0053, Mark::Caron }, // latin capital letter s with caron
        { 0x0161, 0x0073, Mark::Caron }, // latin small letter s with caron
        { 0x0162, 0x0054, Mark::Cedilla }, // latin capital letter t with cedilla
        { 0x0163, 0x0074, Mark::Cedilla }, // latin small letter t with cedilla
        { 0x0164, 0x0054, Mark::Caron }, // latin capital letter t with caron
        { 0x0165, 0x0074, Mark::Caron }, // latin small letter t with caron
        { 0x0168, 0x0055, Mark::Tilde }, // latin capital letter u with tilde
        { 0x0169, 0x0075, Mark::Tilde }, // latin small letter u with tilde
        { 0x016A, 0x0055, Mark::Macron }, // latin capital letter u with macron
        { 0x016B, 0x0075, Mark::Macron }, // latin small letter u with macron
        { 0x016C, 0x0055, Mark::Breve }, // latin capital letter u with breve
        { 0x016D, 0x0075, Mark::Breve }, // latin small letter u with breve
        { 0x016E, 0x0055, Mark::Ring }, // latin capital letter u with ring above
        { 0x016F, 0x0075, Mark::Ring }, // latin small letter u with ring above
        { 0x0170, 0x0055, Mark::DoubleAcute }, // latin capital letter u with double acute
        { 0x0171, 0x0075, Mark::DoubleAcute }, // latin small letter u with double acute
        { 0x0172, 0x0055, Mark::Ogonek }, // latin capital letter u with ogonek
        { 0x0173, 0x0075, Mark::Ogonek }, // latin small letter u with ogonek
        { 0x0174, 0x0057, Mark::Circumflex }, // latin capital letter w with circumflex
        { 0x0175, 0x0077, Mark::Circumflex }, // latin small letter w with circumflex
        { 0x0176, 0x0059, Mark::Circumflex }, // latin capital letter y with circumflex
        { 0x0177, 0x0079, Mark::Circumflex }, // latin small letter y with circumflex
        { 0x0178, 0x0059, Mark::Diaeresis }, // latin capital letter y with diaeresis
        { 0x0179, 0x005A, Mark::Acute }, // latin capital letter z with acute
        { 0x017A, 0x007A, Mark::Acute }, // latin small letter z with acute
        { 0x017B, 0x005A, Mark::DotAbove }, // latin capital letter z with dot above
        { 0x017C, 0x007A, Mark::DotAbove }, // latin small letter z with dot above
        { 0x017D, 0x005A, Mark::Caron }, // latin capital letter z with caron
        { 0x017E, 0x007A, Mark::Caron }, // latin small letter z with caron
        { 0x01CD, 0x0041, Mark::Caron }, // latin capital letter a with caron
        { 0x01CE, 0x0061, Mark::Caron }, // latin small letter a with caron
        { 0x01CF, 0x0049, Mark::Caron }, // latin capital letter i with caron
        { 0x01D0, 0x0069, Mark::Caron }, // latin small letter i with caron
        { 0x01D1, 0x004F, Mark::Caron }, // latin capital letter o with caron
        { 0x01D2, 0x006F, Mark::Caron }, // latin small letter o with caron
        { 0x01D3, 0x0055, Mark::Caron }, // latin capital letter u with caron
        { 0x01D4, 0x0075, Mark::Caron }, // latin small letter u with caron
        { 0x01E2, 0x00C6, Mark::Macron }, // latin capital letter ae with macron
        { 0x01E3, 0x00E6, Mark::Macron }, // latin small letter ae with macron
        { 0x01E6, 0x0047, Mark::Caron }, // latin capital letter g with caron
        { 0x01E7, 0x0067, Mark::Caron }, // latin small letter g with caron
        { 0x01E8, 0x004B, Mark::Caron }, // latin capital letter k with caron
        { 0x01E9, 0x006B, Mark::Caron }, // latin small letter k with caron
        { 0x01EA, 0x004F, Mark::Ogonek }, // latin capital letter o with ogonek
        { 0x01EB, 0x006F, Mark::Ogonek }, // latin small letter o with ogonek
        { 0x01EE, 0x01B7, Mark::Caron }, // latin capital letter ezh with caron
        { 0x01EF, 0x0292, Mark::Caron }, // latin small letter ezh with caron
        { 0x01F0, 0x006A, Mark::Caron }, // latin small letter j with caron
        { 0x01F4, 0x0047, Mark::Acute }, // latin capital letter g with acute
        { 0x01F5, 0x0067, Mark::Acute }, // latin small letter g with acute
        { 0x01F8, 0x004E, Mark::Grave }, // latin capital letter n with grave
        { 0x01F9, 0x006E, Mark::Grave }, // latin small letter n with grave
        { 0x01FC, 0x00C6, Mark::Acute }, // latin capital letter ae with acute
        { 0x01FD, 0x00E6, Mark::Acute }, // latin small letter ae with acute
        { 0x01FE, 0x00D8, Mark::Acute }, // latin capital letter o with stroke and acute
        { 0x01FF, 0x00F8, Mark::Acute }, // latin small letter o with stroke and acute
        { 0x021E, 0x0048, Mark::Caron }, // latin capital letter h with caron
        { 0x021F, 0x0068, Mark::Caron }, // latin small letter h with caron
        { 0x0226, 0x0041, Mark::DotAbove }, // latin capital letter a with dot above
        { 0x0227, 0x0061, Mark::DotAbove }, // latin small letter a with dot above
        { 0x0228, 0x0045, Mark::Cedilla }, // latin capital letter e with cedilla
        { 0x0229, 0x0065, Mark::Cedilla }, // latin small letter e with cedilla
        { 0x022E, 0x004F, Mark::DotAbove }, // latin capital letter o with dot above
        { 0x022F, 0x006F, Mark::DotAbove }, // latin small letter o with dot above
        { 0x0232, 0x0059, Mark::Macron }, // latin capital letter y with macron
        { 0x0233, 0x0079, Mark::Macron }, // latin small letter y with macron
        { 0x0386, 0x0391, Mark::Acute }, // greek capital letter alpha with tonos
        { 0x0388, 0x0395, Mark::Acute }, // greek capital letter epsilon with tonos
        { 0x0389, 0x0397, Mark::Acute }, // greek capital letter eta with tonos
        { 0x038A, 0x0399, Mark::Acute }, // greek capital letter iota with tonos
        { 0x038C, 0x039F, Mark::Acute }, // greek capital letter omicron with tonos
        { 0x038E, 0x03A5, Mark::Acute }, // greek capital letter upsilon with tonos
        { 0x038F, 0x03A9, Mark::Acute }, // greek capital letter omega with tonos
        { 0x03AA, 0x0399, Mark::Diaeresis }, // greek capital letter iota with dialytika
        { 0x03AB, 0x03A5, Mark::Diaeresis }, // greek capital letter upsilon with dialytika
        { 0x03AC, 0x03B1, Mark::Acute }, // greek small letter alpha with tonos
        { 0x03AD, 0x03B5, Mark::Acute }, // greek small letter epsilon with tonos
        { 0x03AE, 0x03B7, Mark::Acute }, // greek small letter eta with tonos
        { 0x03AF, 0x03B9, Mark::Acute }, // greek small letter iota with tonos
        { 0x03CA, 0x03B9, Mark::Diaeresis }, // greek small letter iota with dialytika
        { 0x03CB, 0x03C5, Mark::Diaeresis }, // greek small letter upsilon with dialytika
        { 0x03CC, 0x03BF, Mark::Acute }, // greek small letter omicron with tonos
        { 0x03CD, 0x03C5, Mark::Acute }, // greek small letter upsilon with tonos
        { 0x03CE, 0x03C9, Mark::Acute }, // greek small letter omega with tonos
        { 0x0400, 0x0415, Mark::Grave }, // cyrillic capital letter ie with grave
        { 0x0401, 0x0415, Mark::Diaeresis }, // cyrillic capital letter io
        { 0x0403, 0x0413, Mark::Acute }, // cyrillic capital letter gje
        { 0x0407, 0x0406, Mark::Diaeresis }, // cyrillic capital letter yi
        { 0x040C, 0x041A, Mark::Acute }, // cyrillic capital letter kje
        { 0x040D, 0x0418, Mark::Grave }, // cyrillic capital letter i with grave
        { 0x040E, 0x0423, Mark::Breve }, // cyrillic capital letter short u
        { 0x0419, 0x0418, Mark::Breve }, // cyrillic capital letter short i
        { 0x0439, 0x0438, Mark::Breve }, // cyrillic small letter short i
        { 0x0450, 0x0435, Mark::Grave }, // cyrillic small letter ie with grave
        { 0x0451, 0x0435, Mark::Diaeresis }, // cyrillic small letter io
        { 0x0453, 0x0433, Mark::Acute }, // cyrillic small letter gje
        { 0x0457, 0x0456, Mark::Diaeresis }, // cyrillic small letter yi
        { 0x045C, 0x043A, Mark::Acute }, // cyrillic small letter kje
        { 0x045D, 0x0438, Mark::Grave }, // cyrillic small letter i with grave
        { 0x045E, 0x0443, Mark::Breve }, // cyrillic small letter short u
    };

    // An accent's strokes, in units of the capital height, for a letter
    // whose strokes span x0..x1 and reach up to `top`.
    std::vector<std::vector<Vec2>> markStrokes(Mark m, double x0, double x1, double top)
    {
        const double c = (x0 + x1) / 2, y = top + 0.12;
        auto arc = [](double cx, double cy, double rx, double ry, double from, double to) {
            std::vector<Vec2> pts;
            for (int k = 0; k <= 8; ++k) {
                const double a = from + (to - from) * k / 8;
                pts.push_back({ cx + rx * std::cos(a), cy + ry * std::sin(a) });
            }
            return pts;
        };
        constexpr double PI_ = 3.14159265358979323846;
        switch (m) {
        case Mark::Grave:
            return { { { c + 0.06, y }, { c - 0.08, y + 0.18 } } };
        case Mark::Acute:
            return { { { c - 0.06, y }, { c + 0.08, y + 0.18 } } };
        case Mark::Circumflex:
            return { { { c - 0.14, y }, { c, y + 0.16 }, { c + 0.14, y } } };
        case Mark::Caron:
            return { { { c - 0.14, y + 0.16 }, { c, y }, { c + 0.14, y + 0.16 } } };
        case Mark::Tilde:
            return { { { c - 0.18, y + 0.04 }, { c - 0.09, y + 0.14 }, { c + 0.09, y + 0.04 },
                { c + 0.18, y + 0.14 } } };
        case Mark::Macron:
            return { { { c - 0.16, y + 0.08 }, { c + 0.16, y + 0.08 } } };
        case Mark::Breve:
            return { arc(c, y + 0.16, 0.14, 0.14, PI_, 2 * PI_) };
        case Mark::DotAbove:
            return { arc(c, y + 0.06, 0.03, 0.03, 0, 2 * PI_) };
        case Mark::Diaeresis:
            return { arc(c - 0.1, y + 0.06, 0.03, 0.03, 0, 2 * PI_),
                arc(c + 0.1, y + 0.06, 0.03, 0.03, 0, 2 * PI_) };
        case Mark::Ring:
            return { arc(c, y + 0.1, 0.08, 0.08, 0, 2 * PI_) };
        case Mark::DoubleAcute:
            return { { { c - 0.12, y }, { c - 0.02, y + 0.18 } },
                { { c + 0.04, y }, { c + 0.14, y + 0.18 } } };
        case Mark::Cedilla:
            return { { { c, 0 }, { c, -0.08 }, { c + 0.08, -0.12 }, { c + 0.06, -0.2 },
                { c - 0.06, -0.22 } } };
        case Mark::Ogonek:
            return { { { x1 - 0.02, 0 }, { x1 - 0.12, -0.1 }, { x1 - 0.08, -0.2 }, { x1 + 0.02, -0.22 } } };
        }
        return {};
    }

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
        if (!font) {
            error = path + ": " + error;
            return font;
        }
        font->addCompanions(dir);
        font->addComposed();
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

void StrokeFont::addCompanions(const std::string& dir)
{
    auto read = [&](const char* name) -> std::unique_ptr<StrokeFont> {
        std::ifstream in(dir + "/" + name + ".jhf", std::ios::binary);
        if (!in) return nullptr;
        std::string text(MAX_FONT_BYTES, '\0');
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(in.gcount()));
        std::string ignored;
        return parse(text, ignored);
    };
    // The Greek font holds the 24 letters in alphabetical order where A..X
    // and a..x stand; final sigma is drawn as sigma.
    if (const auto greek = read("greeks")) {
        for (char32_t i = 0; i < 24; ++i) {
            const char32_t capital = 0x391 + i + (i >= 17 ? 1 : 0); // no capital at U+03A2
            extra_[capital] = greek->glyphs_['A' + i - 32];
            extra_[0x3B1 + i + (i >= 17 ? 1 : 0)] = greek->glyphs_['a' + i - 32];
        }
        extra_[0x3C2] = greek->glyphs_['a' + 17 - 32];
        extra_[0xB5] = greek->glyphs_['a' + 11 - 32]; // micro sign: mu
    }
    // The Cyrillic fonts: one holds A to SHCHA in order on A..Z and a..z, the
    // other (in a phonetic order) the six capitals and small letters after.
    if (const auto cyrillic = read("cyrilc_1"))
        for (char32_t i = 0; i < 26; ++i) {
            extra_[0x410 + i] = cyrillic->glyphs_['A' + i - 32];
            extra_[0x430 + i] = cyrillic->glyphs_['a' + i - 32];
        }
    if (const auto phonetic = read("cyrillic")) {
        const std::pair<char32_t, char> rest[]
            = { { 0x42A, ']' }, { 0x42B, '$' }, { 0x42C, '_' }, { 0x42D, 'C' }, { 0x42E, 'U' },
                  { 0x42F, '^' }, { 0x44A, '|' }, { 0x44B, '&' }, { 0x44E, 'u' }, { 0x44F, '}' } };
        for (const auto& [letter, at] : rest)
            extra_[letter] = phonetic->glyphs_[static_cast<std::size_t>(at - 32)];
        // Small soft sign and small e have no glyph of their own there: their
        // capitals brought down to the small letters' height.
        for (const auto& [small, capital] :
            { std::pair<char32_t, char32_t> { 0x44C, 0x42C }, { 0x44D, 0x42D } }) {
            Glyph g = extra_[capital];
            for (auto& st : g.strokes)
                for (Vec2& q : st)
                    q = { q.x * 0.85, q.y * X_HEIGHT };
            g.left *= 0.85;
            g.right *= 0.85;
            extra_[small] = std::move(g);
        }
    }
}

void StrokeFont::addComposed()
{
    auto has = [&](char32_t c) { return (c >= 32 && c <= 126) || extra_.count(c); };
    for (const Composed& k : COMPOSED) {
        if (!has(k.base) || extra_.count(k.letter)) continue;
        Glyph g = glyph(k.base);
        // i and j lose their dot under an accent above.
        if ((k.base == 'i' || k.base == 'j') && k.mark != Mark::Ogonek && k.mark != Mark::Cedilla)
            std::erase_if(g.strokes, [](const std::vector<Vec2>& s) {
                return std::all_of(s.begin(), s.end(), [](Vec2 p) { return p.y > X_HEIGHT + 0.05; });
            });
        double x0 = 1e9, x1 = -1e9, top = 0;
        for (const auto& s : g.strokes)
            for (Vec2 p : s) {
                x0 = std::min(x0, p.x);
                x1 = std::max(x1, p.x);
                top = std::max(top, p.y);
            }
        if (x0 > x1) x0 = x1 = 0;
        // Small letters carry the accent over their x-height, whatever their ascenders.
        const bool small
            = k.base >= 'a' || (k.base >= 0x430 && k.base < 0x460) || (k.base >= 0x3B1 && k.base < 0x3D0);
        for (auto& s : markStrokes(k.mark, x0, x1, small && top > X_HEIGHT ? X_HEIGHT : top))
            g.strokes.push_back(std::move(s));
        extra_[k.letter] = std::move(g);
    }
    // Signs built from the ASCII strokes.
    auto from = [&](char base) { return glyphs_[static_cast<std::size_t>(base - 32)]; };
    Glyph degree = from('o');
    degree.strokes.clear();
    {
        std::vector<Vec2> ring;
        for (int k = 0; k <= 12; ++k)
            ring.push_back({ 0.14 * std::cos(k * 3.14159265358979323846 / 6),
                0.86 + 0.14 * std::sin(k * 3.14159265358979323846 / 6) });
        degree.strokes.push_back(std::move(ring));
        degree.left = -0.3;
        degree.right = 0.3;
    }
    extra_[0xB0] = degree;
    Glyph plusMinus = from('+');
    plusMinus.strokes.push_back({ { -0.4, 0 }, { 0.4, 0 } });
    for (auto& s : plusMinus.strokes)
        for (Vec2& p : s)
            if (s.size() == 2 && s[0].y != s[1].y) p.y = std::max(p.y, 0.15);
    extra_[0xB1] = plusMinus;
    Glyph times = from('x');
    extra_[0xD7] = times;
    Glyph dot = from('.');
    for (auto& s : dot.strokes)
        for (Vec2& p : s)
            p.y += 0.35;
    extra_[0xB7] = dot;
    // Diameter and the slashed O: an O crossed from corner to corner.
    for (const auto& [letter, base] :
        { std::pair<char32_t, char> { 0xD8, 'O' }, { 0x2300, 'O' }, { 0xF8, 'o' } }) {
        Glyph g = from(base);
        double x0 = 1e9, x1 = -1e9, y1 = 0;
        for (const auto& s : g.strokes)
            for (Vec2 p : s) {
                x0 = std::min(x0, p.x);
                x1 = std::max(x1, p.x);
                y1 = std::max(y1, p.y);
            }
        g.strokes.push_back({ { x0 - 0.05, -0.05 }, { x1 + 0.05, y1 + 0.05 } });
        extra_[letter] = std::move(g);
    }
    for (const auto& [letter, base] : { std::pair<char32_t, char> { 0x141, 'L' }, { 0x142, 'l' } }) {
        Glyph g = from(base);
        g.strokes.push_back({ { -0.25, 0.3 }, { 0.15, 0.6 } });
        extra_[letter] = std::move(g);
    }
    for (const auto& [letter, base] :
        { std::pair<char32_t, char> { 0xD0, 'D' }, { 0x110, 'D' }, { 0x111, 'd' } }) {
        Glyph g = from(base);
        g.strokes.push_back(letter == 0x111 ? std::vector<Vec2> { { 0.1, 0.85 }, { 0.55, 0.85 } }
                                            : std::vector<Vec2> { { -0.5, 0.5 }, { -0.15, 0.5 } });
        extra_[letter] = std::move(g);
    }
    for (const auto& [letter, base] : { std::pair<char32_t, char> { 0xB2, '2' }, { 0xB3, '3' } }) {
        Glyph g = from(base);
        for (auto& s : g.strokes)
            for (Vec2& p : s)
                p = { p.x * 0.55, p.y * 0.55 + 0.5 };
        g.left *= 0.55;
        g.right *= 0.55;
        extra_[letter] = std::move(g);
    }
    // Ligatures and sharp s: their two letters side by side in one glyph.
    for (const auto& [letter, pair] : { std::pair<char32_t, const char*> { 0xC6, "AE" }, { 0xE6, "ae" },
             { 0x152, "OE" }, { 0x153, "oe" }, { 0xDF, "ss" }, { 0x132, "IJ" }, { 0x133, "ij" } }) {
        Glyph g;
        const Glyph &a = glyphs_[static_cast<std::size_t>(pair[0] - 32)],
                    &b = glyphs_[static_cast<std::size_t>(pair[1] - 32)];
        g.left = a.left;
        g.strokes = a.strokes;
        const double shift = a.right - b.left;
        for (auto st : b.strokes) {
            for (Vec2& q : st)
                q.x += shift;
            g.strokes.push_back(std::move(st));
        }
        g.right = shift + b.right;
        extra_[letter] = std::move(g);
    }
    // Typographic quotes and dashes as their plain forms.
    for (const auto& [letter, base] : { std::pair<char32_t, char> { 0x2018, '\'' }, { 0x2019, '\'' },
             { 0x201C, '"' }, { 0x201D, '"' }, { 0x2013, '-' }, { 0x2014, '-' }, { 0x2212, '-' } })
        extra_[letter] = from(base);
}

const StrokeFont::Glyph& StrokeFont::glyph(char32_t c) const
{
    static const Glyph nothing;
    if (c >= 0xE000 && c <= 0xF8FF) return nothing;
    if (c == 0xA0) c = ' ';
    if (c >= 32 && c <= 126) return glyphs_[c - 32];
    const auto it = extra_.find(c);
    return it != extra_.end() ? it->second : glyphs_['?' - 32];
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
