// The DXF reader on hand-written group streams: what real writers vary
// (line ends, byte-order marks, missing sections, cut files) and what hostile
// drawings try (self-inserting blocks, huge arrays, endless entities).
#include "import/dxf.h"
#include "import/to_slide.h"

#include <gtest/gtest.h>

#include <cmath>

#include <string>
#include <vector>

namespace qorvan::import {
namespace {

    // Groups as "code value" pairs, one per line pair.
    std::string dxf(const std::vector<std::pair<int, std::string>>& groups, const char* eol = "\n")
    {
        std::string s;
        for (const auto& [code, value] : groups)
            s += std::to_string(code) + eol + value + eol;
        return s;
    }

    std::vector<std::pair<int, std::string>> entities(const std::vector<std::pair<int, std::string>>& body)
    {
        std::vector<std::pair<int, std::string>> g { { 0, "SECTION" }, { 2, "ENTITIES" } };
        g.insert(g.end(), body.begin(), body.end());
        g.push_back({ 0, "ENDSEC" });
        g.push_back({ 0, "EOF" });
        return g;
    }

    const std::vector<std::pair<int, std::string>> LINE
        = { { 0, "LINE" }, { 8, "0" }, { 62, "3" }, { 10, "0" }, { 20, "0" }, { 11, "10" }, { 21, "5" } };

    Drawing drawAll(const std::string& text, const Options& options = {})
    {
        OpenResult r = readDxf(text, "t.dxf", options);
        EXPECT_TRUE(r.source) << r.error;
        Drawing d;
        if (!r.source) return d;
        std::string error;
        EXPECT_TRUE(r.source->draw(gridFor(r.source->extents(), 100), d, error)) << error;
        return d;
    }

    struct Variant {
        const char* name;
        std::string text;
    };

    class Writers : public ::testing::TestWithParam<Variant> { };

    TEST_P(Writers, ReadTheSameLine)
    {
        const Drawing d = drawAll(GetParam().text);
        ASSERT_EQ(d.shapes.size(), 1u);
        ASSERT_EQ(d.shapes[0].rings.size(), 1u);
        const auto& pts = d.shapes[0].rings[0].points;
        ASSERT_EQ(pts.size(), 2u);
        EXPECT_EQ(pts[1].x, 10);
        EXPECT_EQ(pts[1].y, 5);
        EXPECT_EQ(d.shapes[0].colour, 3);
    }

    INSTANTIATE_TEST_SUITE_P(Forms, Writers,
        ::testing::Values(Variant { "lf", dxf(entities(LINE)) },
            Variant { "crlf", dxf(entities(LINE), "\r\n") },
            Variant { "bom", "\xEF\xBB\xBF" + dxf(entities(LINE)) },
            Variant { "padded_codes",
                [] {
                    std::string s;
                    for (const auto& [c, v] : entities(LINE))
                        s += "  " + std::to_string(c) + "\n" + v + "\n";
                    return s;
                }() },
            // A file cut after the entities (no ENDSEC, no EOF) still draws them.
            Variant { "cut",
                [] {
                    auto g = entities(LINE);
                    g.resize(g.size() - 2);
                    return dxf(g);
                }() }),
        [](const auto& p) { return std::string(p.param.name); });

    TEST(DxfReader, RefusesWhatIsNotAsciiDxf)
    {
        const struct {
            std::string bytes;
            const char* says;
        } cases[] = {
            { std::string("AutoCAD Binary DXF\r\n\x1a\0", 22) + "xx", "binary DXF" },
            { std::string("AC1032\0\0\0\0", 10), "DWG" },
            { "hello\nworld\n", "group code" },
            { "", "no DXF sections" },
            { dxf({ { 0, "SECTION" }, { 2, "ENTITIES" }, { 0, "LINE" }, { 10, "1" } }) + "20\n",
                "ends after group code 20" },
        };
        for (const auto& c : cases) {
            const OpenResult r = readDxf(c.bytes, "in.dxf", {});
            EXPECT_FALSE(r.source);
            EXPECT_NE(r.error.find("in.dxf: "), std::string::npos) << r.error;
            EXPECT_NE(r.error.find(c.says), std::string::npos) << r.error;
        }
    }

    std::vector<std::pair<int, std::string>> block(
        const std::string& name, const std::vector<std::pair<int, std::string>>& body)
    {
        std::vector<std::pair<int, std::string>> g { { 0, "BLOCK" }, { 2, name }, { 10, "0" }, { 20, "0" } };
        g.insert(g.end(), body.begin(), body.end());
        g.push_back({ 0, "ENDBLK" });
        return g;
    }

    std::string withBlocks(const std::vector<std::vector<std::pair<int, std::string>>>& blocks,
        const std::vector<std::pair<int, std::string>>& body)
    {
        std::vector<std::pair<int, std::string>> g { { 0, "SECTION" }, { 2, "BLOCKS" } };
        for (const auto& b : blocks)
            g.insert(g.end(), b.begin(), b.end());
        g.push_back({ 0, "ENDSEC" });
        const auto e = entities(body);
        g.insert(g.end(), e.begin(), e.end());
        return dxf(g);
    }

    TEST(DxfBounds, HostileBlocksEndInAnErrorThatNamesTheBound)
    {
        const std::vector<std::pair<int, std::string>> insertSelf
            = { { 0, "INSERT" }, { 2, "SELF" }, { 10, "1" }, { 20, "1" } };
        // Ten references per level, eight levels: 10^8 lines from a few hundred bytes.
        std::vector<std::vector<std::pair<int, std::string>>> fan;
        fan.push_back(block("L0", LINE));
        for (int level = 1; level <= 8; ++level) {
            std::vector<std::pair<int, std::string>> body;
            for (int k = 0; k < 10; ++k)
                body.insert(body.end(),
                    { { 0, "INSERT" }, { 2, "L" + std::to_string(level - 1) }, { 10, std::to_string(k) },
                        { 20, "0" } });
            fan.push_back(block("L" + std::to_string(level), body));
        }
        const struct {
            const char* name;
            std::string text;
            const char* says;
        } cases[] = {
            { "self", withBlocks({ block("SELF", insertSelf) }, insertSelf), "nested more than 32 deep" },
            { "fan", withBlocks(fan, { { 0, "INSERT" }, { 2, "L8" }, { 10, "0" }, { 20, "0" } }),
                "more than" },
            { "array",
                withBlocks({ block("B", LINE) },
                    { { 0, "INSERT" }, { 2, "B" }, { 70, "32767" }, { 71, "32767" }, { 44, "1" },
                        { 45, "1" } }),
                "more than" },
        };
        // Smaller bounds than the tool's keep the test quick; the rule is the same.
        Options o;
        o.limits.maxEntities = 20000;
        for (const auto& c : cases) {
            const OpenResult r = readDxf(c.text, "h.dxf", o);
            ASSERT_FALSE(r.source) << c.name;
            EXPECT_NE(r.error.find(c.says), std::string::npos) << c.name << ": " << r.error;
        }
    }

    TEST(DxfBounds, EntityAndPointCountsAreBounded)
    {
        std::vector<std::pair<int, std::string>> body;
        for (int i = 0; i < 50; ++i)
            body.insert(body.end(), LINE.begin(), LINE.end());
        Options o;
        o.limits.maxEntities = 49;
        OpenResult r = readDxf(dxf(entities(body)), "n.dxf", o);
        EXPECT_FALSE(r.source);
        EXPECT_NE(r.error.find("more than 49 entities"), std::string::npos) << r.error;
        o.limits.maxEntities = 50;
        EXPECT_TRUE(readDxf(dxf(entities(body)), "n.dxf", o).source);

        std::vector<std::pair<int, std::string>> poly { { 0, "LWPOLYLINE" }, { 90, "1000" } };
        for (int i = 0; i < 1000; ++i)
            poly.insert(poly.end(), { { 10, std::to_string(i) }, { 20, "0" } });
        o.limits.maxPoints = 999;
        r = readDxf(dxf(entities(poly)), "p.dxf", o);
        EXPECT_FALSE(r.source);
        EXPECT_NE(r.error.find("more than 999 points"), std::string::npos) << r.error;
    }

    TEST(DxfCurves, ArcChordsFollowTheGrid)
    {
        const std::string text = dxf(entities({ { 0, "CIRCLE" }, { 10, "0" }, { 20, "0" }, { 40, "100" } }));
        OpenResult r = readDxf(text, "c.dxf", {});
        ASSERT_TRUE(r.source);
        std::size_t previous = 0;
        for (double pixels : { 50.0, 500.0, 5000.0 }) {
            Drawing d;
            std::string error;
            ASSERT_TRUE(r.source->draw(gridFor(r.source->extents(), pixels), d, error));
            const std::size_t n = d.pointCount();
            // Finer grids need more chords, never a runaway number.
            EXPECT_GT(n, previous);
            EXPECT_LT(n, 40 * static_cast<std::size_t>(std::sqrt(pixels)) + 20);
            previous = n;
        }
    }

    TEST(DxfText, LeftOutWithAWarningWhenTheFontIsMissingElseDrawn)
    {
        const std::string text
            = dxf(entities({ { 0, "TEXT" }, { 10, "0" }, { 20, "0" }, { 40, "5" }, { 1, "AB" } }));
        const Drawing d = drawAll(text);
        // The font is read from the system when it is there.
        if (d.warnings.empty()) {
            ASSERT_EQ(d.shapes.size(), 1u);
            EXPECT_GT(d.shapes[0].rings.size(), 3u);
            const Extents e = d.extents();
            EXPECT_NEAR(e.maxY, 5, 0.3); // capitals stand the text's height above the baseline
            EXPECT_NEAR(e.minY, 0, 0.3);
        } else {
            EXPECT_NE(d.warnings[0].find("text left out"), std::string::npos);
        }
    }

} // namespace
} // namespace qorvan::import
