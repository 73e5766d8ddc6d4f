// Transforms, colours and the style sheet grammar: tables of what each
// form gives and of what is refused.
#include <gtest/gtest.h>

#include <cmath>

#include "import/svg_color.h"
#include "import/svg_css.h"
#include "import/svg_transform.h"

namespace qorvan::import::svg {
namespace {

    TEST(Transform, ListsComposeLeftToRight)
    {
        struct Case {
            const char* text;
            Vec2 in, want;
        } cases[] = {
            { "", { 3, 4 }, { 3, 4 } },
            { "translate(10)", { 3, 4 }, { 13, 4 } },
            { "translate(10,20)", { 3, 4 }, { 13, 24 } },
            { "scale(2)", { 3, 4 }, { 6, 8 } },
            { "scale(2 -1)", { 3, 4 }, { 6, -4 } },
            { "rotate(90)", { 1, 0 }, { 0, 1 } },
            { "rotate(90 10 10)", { 10, 0 }, { 20, 10 } },
            { "skewX(45)", { 0, 2 }, { 2, 2 } },
            { "skewY(45)", { 2, 0 }, { 2, 2 } },
            { "matrix(1 2 3 4 5 6)", { 1, 1 }, { 9, 12 } },
            // The rightmost transform applies first.
            { "translate(10 0) scale(2)", { 1, 1 }, { 12, 2 } },
            { "scale(2),translate(10 0)", { 1, 1 }, { 22, 2 } },
            { " rotate( 180 ) , translate(-1e1,0)", { 0, 0 }, { 10, 0 } },
        };
        for (const Case& c : cases) {
            Matrix m;
            std::string error;
            ASSERT_TRUE(parseTransform(c.text, m, error)) << c.text << ": " << error;
            const Vec2 p = m.apply(c.in);
            EXPECT_NEAR(p.x, c.want.x, 1e-9) << c.text;
            EXPECT_NEAR(p.y, c.want.y, 1e-9) << c.text;
        }
    }

    TEST(Transform, FaultsLeaveTheIdentity)
    {
        for (const char* text :
            { "translate(", "translate()", "rotate(1 2)", "scale(1 2 3)", "matrix(1 2 3 4 5)", "shear(1)",
                "translate(1) x", "translate(1),", "translate(1e999)", "translate(1 2 ,)" }) {
            Matrix m = Matrix::scale(5, 5);
            std::string error;
            EXPECT_FALSE(parseTransform(text, m, error)) << text;
            EXPECT_EQ(m.a, 1) << text;
            EXPECT_FALSE(error.empty()) << text;
        }
    }

    TEST(Transform, MeanScaleOfStrokes)
    {
        EXPECT_DOUBLE_EQ(Matrix::scale(2, 8).meanScale(), 4);
        EXPECT_NEAR(Matrix::rotate(33).meanScale(), 1, 1e-12);
        EXPECT_DOUBLE_EQ((Matrix::scale(3, 3) * Matrix::translate(5, 5)).meanScale(), 3);
    }

    TEST(Color, EveryForm)
    {
        struct Case {
            const char* text;
            unsigned r, g, b;
            double alpha;
        } cases[] = {
            { "red", 255, 0, 0, 1 },
            { "  RebeccaPurple ", 102, 51, 153, 1 },
            { "lightgoldenrodyellow", 250, 250, 210, 1 },
            { "transparent", 0, 0, 0, 0 },
            { "#f80", 255, 136, 0, 1 },
            { "#F80", 255, 136, 0, 1 },
            { "#f808", 255, 136, 0, 136 / 255.0 },
            { "#2e3436", 0x2e, 0x34, 0x36, 1 },
            { "#2e343680", 0x2e, 0x34, 0x36, 128 / 255.0 },
            { "rgb(1,2,3)", 1, 2, 3, 1 },
            { "RGB( 1 , 2 , 3 )", 1, 2, 3, 1 },
            { "rgb(100%,50%,0%)", 255, 128, 0, 1 },
            { "rgb(18.039216%,20.392157%,20.392157%)", 46, 52, 52, 1 },
            { "rgb(300,-5,12.4)", 255, 0, 12, 1 },
            { "rgba(1,2,3,0.25)", 1, 2, 3, 0.25 },
            { "rgb(1 2 3 / 50%)", 1, 2, 3, 0.5 },
            { "rgb(1 2 3)", 1, 2, 3, 1 },
            { "hsl(0, 100%, 50%)", 255, 0, 0, 1 },
            { "hsl(120deg 100% 25%)", 0, 128, 0, 1 },
            { "hsl(0.5turn, 100%, 50%)", 0, 255, 255, 1 },
            { "hsla(240, 100%, 50%, 0.5)", 0, 0, 255, 0.5 },
        };
        for (const Case& c : cases) {
            Rgba got;
            ASSERT_TRUE(parseColor(c.text, got)) << c.text;
            EXPECT_EQ(got.r, c.r) << c.text;
            EXPECT_EQ(got.g, c.g) << c.text;
            EXPECT_EQ(got.b, c.b) << c.text;
            EXPECT_NEAR(got.alpha, c.alpha, 1e-9) << c.text;
        }
        for (const char* bad : { "", "#", "#12", "#12345", "#1234567", "#123456789", "#ggg", "reddish",
                 "rgb(1,2)", "rgb(1,2,3,4,5)", "rgb(1 2, 3)", "rgb(1,2,3", "hsl(0,100,50)", "rgb(1px,2,3)",
                 "url(#a)", "none" }) {
            Rgba got;
            EXPECT_FALSE(parseColor(bad, got)) << bad;
        }
    }

    TEST(Color, Paints)
    {
        struct Case {
            const char* text;
            Paint::Kind kind;
            const char* id;
            bool fallback, fallbackNone;
        } cases[] = {
            { "none", Paint::None, "", false, false },
            { "currentColor", Paint::CurrentColor, "", false, false },
            { "CURRENTCOLOR", Paint::CurrentColor, "", false, false },
            { "#fff", Paint::Color, "", false, false },
            { "url(#grad)", Paint::Url, "grad", false, false },
            { "url('#grad') red", Paint::Url, "grad", true, false },
            { "url(\"#g\") none", Paint::Url, "g", false, true },
        };
        for (const Case& c : cases) {
            Paint p;
            ASSERT_TRUE(parsePaint(c.text, p)) << c.text;
            EXPECT_EQ(p.kind, c.kind) << c.text;
            EXPECT_EQ(p.id, c.id) << c.text;
            EXPECT_EQ(p.hasFallback, c.fallback) << c.text;
            EXPECT_EQ(p.fallbackNone, c.fallbackNone) << c.text;
        }
        Paint p;
        EXPECT_FALSE(parsePaint("url(other.svg#a)", p));
        EXPECT_FALSE(parsePaint("url(#a) bogus", p));
        EXPECT_FALSE(parsePaint("blurple", p));
    }

    TEST(Css, DeclarationsAndSheets)
    {
        const auto d
            = parseDeclarations("fill: url(#a;b) ; Stroke-Width:2px !important;;junk; /* c */opacity:.5");
        ASSERT_EQ(d.size(), 3u);
        EXPECT_EQ(d[0].property, "fill");
        EXPECT_EQ(d[0].value, "url(#a;b)");
        EXPECT_EQ(d[1].property, "stroke-width");
        EXPECT_EQ(d[1].value, "2px");
        EXPECT_EQ(d[2].property, "opacity");

        StyleSheet sheet;
        sheet.parse("/* made by hand */ @media print { path { fill: red } }\n"
                    ".st0, #only { fill: #00f } path.st0 { fill: #0f0 } * { stroke: red } "
                    "g > path { fill: black } a:hover { fill: red } [x] { fill: red }");
        EXPECT_EQ(sheet.rules.size(), 4u);
        EXPECT_EQ(sheet.skippedSelectors, 3u);
        // Specificity orders the matches: *, .st0, path.st0.
        auto m = sheet.match("path", "", "big st0");
        ASSERT_EQ(m.size(), 3u);
        EXPECT_EQ(m[0]->declarations[0].property, "stroke");
        EXPECT_EQ(m[1]->declarations[0].value, "#00f");
        EXPECT_EQ(m[2]->declarations[0].value, "#0f0");
        EXPECT_EQ(sheet.match("rect", "only", "").size(), 2u);
        EXPECT_EQ(sheet.match("rect", "", "st00").size(), 1u);
    }

    TEST(Css, AnElementIsTriedOnlyAgainstTheRulesThatCanMatchIt)
    {
        StyleSheet sheet;
        std::string css;
        for (int i = 0; i < 1000; ++i)
            css += ".c" + std::to_string(i) + " { stroke-width: " + std::to_string(i) + " }\n";
        css += ".b.a { fill: #010101 } rect.a { fill: #020202 } #x { fill: #030303 } .a { fill: #040404 } "
               "rect { fill: #050505 } * { fill: #060606 } .a { fill: #070707 }";
        sheet.parse(css);
        std::size_t tried = 0;
        // Compounds match in any order of the attribute's classes, a class
        // named twice counts once, and equal specificity keeps sheet order.
        auto m = sheet.match("rect", "x", "a  c7 b a", &tried);
        std::vector<std::string> got;
        for (const Rule* r : m)
            got.push_back(r->declarations[0].value);
        const std::vector<std::string> want { "#060606", "#050505", "7", "#040404", "#070707", "#020202",
            "#010101", "#030303" };
        EXPECT_EQ(got, want);
        EXPECT_LE(tried, 10u);
        tried = 0;
        EXPECT_EQ(sheet.match("circle", "", "c999", &tried).size(), 2u); // * and .c999
        EXPECT_EQ(tried, 2u);
    }

} // namespace
} // namespace qorvan::import::svg
