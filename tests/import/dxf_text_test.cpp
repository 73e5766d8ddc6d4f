// DXF text: the code pages of older drawings, %% and \U+ codes, MTEXT's
// formatting (heights, colours, stacking, wrapping, an embedded object's
// codes) and the letters beyond ASCII in the stroke font.
#include "import/codepage.h"
#include "import/dxf.h"
#include "import/dxf_text.h"
#include "import/stroke_font.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace qorvan::import {
namespace {

    using Groups = std::vector<std::pair<int, std::string>>;

    std::string file(const Groups& entities, const Groups& header = {})
    {
        Groups g;
        if (!header.empty()) {
            g.push_back({ 0, "SECTION" });
            g.push_back({ 2, "HEADER" });
            g.insert(g.end(), header.begin(), header.end());
            g.push_back({ 0, "ENDSEC" });
        }
        g.push_back({ 0, "SECTION" });
        g.push_back({ 2, "ENTITIES" });
        g.insert(g.end(), entities.begin(), entities.end());
        g.push_back({ 0, "ENDSEC" });
        g.push_back({ 0, "EOF" });
        std::string s;
        for (const auto& [code, value] : g)
            s += std::to_string(code) + "\n" + value + "\n";
        return s;
    }

    // Null when the font is not installed: the text tests then skip.
    const StrokeFont* font()
    {
        static const auto loaded = [] {
            std::string error;
            return StrokeFont::load("futural", error);
        }();
        return loaded.get();
    }

    Drawing drawAt(const std::string& text, double pixels = 400)
    {
        OpenResult r = readDxf(text, "t.dxf", {});
        EXPECT_TRUE(r.source) << r.error;
        Drawing d;
        if (!r.source) return d;
        std::string error;
        EXPECT_TRUE(r.source->draw(gridFor(r.source->extents(), pixels), d, error)) << error;
        return d;
    }

    std::size_t strokes(std::string_view utf8)
    {
        std::vector<Ring> out;
        font()->layout(utf8, out);
        return out.size();
    }

    TEST(Codepage, EightBitTextReadInItsPage)
    {
        const struct {
            const char* name;
            std::string bytes;
            int page;
            const char* utf8;
        } cases[] = {
            { "western", "\xC5ngstr\xF6m", 1252, "\xC3\x85ngstr\xC3\xB6m" },
            { "cyrillic", "\xCC\xEE\xF1\xEA\xE2\xE0", 1251,
                "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0" },
            { "central", "\xB3\xF3\xBF\xEA\xF1", 1250, "\xC5\x82\xC3\xB3\xC5\xBC\xC4\x99\xC5\x84" },
            { "greek", "\xE1\xE2\xE3", 1253, "\xCE\xB1\xCE\xB2\xCE\xB3" },
            { "euro sign", "\x80", 1252, "\xE2\x82\xAC" },
            { "undefined byte", "\x81", 1252, "\xEF\xBF\xBD" },
            { "unknown page", "a\xE9", 0, "a\xEF\xBF\xBD" },
        };
        for (const auto& c : cases)
            EXPECT_EQ(decodeCodepage(c.bytes, c.page), c.utf8) << c.name;
        EXPECT_EQ(codepageNumber("ANSI_1251"), 1251);
        EXPECT_EQ(codepageNumber("ansi_1250"), 1250);
        EXPECT_EQ(codepageNumber("ANSI_932"), 0);
        EXPECT_EQ(codepageNumber("DOS437"), 0);
        EXPECT_TRUE(isUtf8("plain"));
        EXPECT_TRUE(isUtf8("\xC3\xA9"));
        EXPECT_FALSE(isUtf8("\xE9t\xE9"));
        EXPECT_FALSE(isUtf8("\xC3"));
    }

    TEST(DxfTextCodes, PercentCodesAndCodePoints)
    {
        const struct {
            const char* name;
            const char* text;
            std::vector<std::pair<std::string, bool>> runs; // text, underlined
        } cases[] = {
            { "degree, diameter, plus-minus", "45%%d %%c20 %%p1",
                { { "45\xC2\xB0 \xC3\x98"
                    "20 \xC2\xB1"
                    "1",
                    false } } },
            { "percent and by number", "100%%% %%065", { { "100% A", false } } },
            { "code point", "\\U+03A9 ohm", { { "\xCE\xA9 ohm", false } } },
            { "underline toggles", "a%%ub%%uc", { { "a", false }, { "b", true }, { "c", false } } },
            { "not a code", "50%", { { "50%", false } } },
        };
        for (const auto& c : cases) {
            const dxf::TextLine line = dxf::textRuns(c.text);
            std::vector<std::pair<std::string, bool>> got;
            for (const auto& r : line)
                if (!r.text.empty()) got.push_back({ r.text, r.underline });
            EXPECT_EQ(got, c.runs) << c.name;
        }
    }

    TEST(DxfMText, FormattingKeptWhereItShows)
    {
        const auto ps = dxf::mtextParagraphs(
            "{\\H2x;Big}\\Psmall \\C1;red\\P\\S1/2; \\S+0.1^-0.2;\\P\\fArial|b1;plain", 5);
        ASSERT_EQ(ps.size(), 4u);
        ASSERT_EQ(ps[0].size(), 1u);
        EXPECT_EQ(ps[0][0].text, "Big");
        EXPECT_EQ(ps[0][0].height, 10);
        ASSERT_EQ(ps[1].size(), 2u);
        EXPECT_EQ(ps[1][0].height, 5) << "the brace ends the larger height";
        EXPECT_EQ(ps[1][1].text, "red");
        EXPECT_EQ(ps[1][1].colour, 1);
        ASSERT_GE(ps[2].size(), 3u);
        EXPECT_TRUE(ps[2][0].stacked);
        EXPECT_EQ(ps[2][0].over, "1");
        EXPECT_EQ(ps[2][0].under, "2");
        EXPECT_EQ(ps[2][0].stackKind, '/');
        EXPECT_EQ(ps[2].back().stackKind, '^');
        EXPECT_EQ(ps[2].back().under, "-0.2");
        ASSERT_EQ(ps[3].size(), 1u);
        EXPECT_EQ(ps[3][0].text, "plain");
    }

    TEST(DxfMText, WrappedToItsColumnAndBlindToAnEmbeddedObject)
    {
        if (!font()) GTEST_SKIP() << "no stroke font";
        const std::string words = "one two three four five six seven eight nine ten";
        auto mtext = [&](const char* width) {
            Groups g { { 0, "MTEXT" }, { 10, "0" }, { 20, "100" }, { 40, "5" }, { 71, "1" }, { 1, words } };
            if (width) g.push_back({ 41, width });
            return g;
        };
        const Extents one = drawAt(file(mtext(nullptr))).extents();
        const Extents wrapped = drawAt(file(mtext("60"))).extents();
        EXPECT_LT(one.height(), 8) << "one line without a column width";
        EXPECT_LE(wrapped.width(), 60 + 1e-6);
        EXPECT_GT(wrapped.height(), 3 * 5 * 5 / 3.0) << "several lines in a 60-unit column";
        // What follows group 101 is the embedded object's, not the text's.
        Groups embedded = mtext(nullptr);
        embedded.insert(embedded.end(),
            { { 101, "Embedded Object" }, { 70, "1" }, { 10, "1" }, { 20, "0" }, { 40, "80" }, { 41, "0" },
                { 46, "0" } });
        const Extents e = drawAt(file(embedded)).extents();
        EXPECT_NEAR(e.height(), one.height(), 1e-6);
        EXPECT_NEAR(e.minX, one.minX, 1e-6);
    }

    TEST(DxfText, OldDrawingsTextInTheirCodePage)
    {
        if (!font()) GTEST_SKIP() << "no stroke font";
        const Groups header { { 9, "$ACADVER" }, { 1, "AC1015" }, { 9, "$DWGCODEPAGE" }, { 3, "ANSI_1251" } };
        const Groups text { { 0, "TEXT" }, { 10, "0" }, { 20, "0" }, { 40, "5" }, { 1, "\xC4\xE0" } };
        const Drawing d = drawAt(file(text, header));
        ASSERT_EQ(d.shapes.size(), 1u);
        // "Да" in the page's letters: as many strokes as the font gives them, not two question marks.
        EXPECT_EQ(d.shapes[0].rings.size(), strokes("\xD0\x94\xD0\xB0"));
        EXPECT_NE(d.shapes[0].rings.size(), strokes("??"));
    }

    TEST(StrokeFont, LettersBeyondAsciiAreDrawn)
    {
        if (!font()) GTEST_SKIP() << "no stroke font";
        const std::size_t question = strokes("?");
        const struct {
            const char* name;
            const char* letter;
            const char* base; // composed letters have the base's strokes and more
        } cases[] = {
            { "e acute", "\xC3\xA9", "e" },
            { "A ring", "\xC3\x85", "A" },
            { "c cedilla", "\xC3\xA7", "c" },
            { "z caron", "\xC5\xBE", "z" },
            { "o double acute", "\xC5\x91", "o" },
            { "slashed O", "\xC3\x98", "O" },
            { "l stroke", "\xC5\x82", "l" },
            { "degree", "\xC2\xB0", nullptr },
            { "plus-minus", "\xC2\xB1", "+" },
            { "greek omega", "\xCE\xA9", nullptr },
            { "cyrillic zhe", "\xD0\x96", nullptr },
            { "cyrillic ya", "\xD1\x8F", nullptr },
            { "cyrillic yo", "\xD0\x81", nullptr },
        };
        for (const auto& c : cases) {
            std::vector<Ring> out;
            font()->layout(c.letter, out);
            EXPECT_FALSE(out.empty()) << c.name;
            if (c.base)
                EXPECT_GT(out.size(), strokes(c.base)) << c.name;
            else if (out.size() == question) {
                // Same count as '?' may be chance: the strokes must differ too.
                std::vector<Ring> q;
                font()->layout("?", q);
                EXPECT_NE(out[0].points.size(), q[0].points.size()) << c.name << " drawn as ?";
            }
        }
        // Private-use marks take no room.
        EXPECT_EQ(font()->advance("\xEE\x80\x80"), 0);
    }

} // namespace
} // namespace qorvan::import
