// The SVG reader over small documents written for each rule: geometry and
// its placement, the cascade of paint, strokes, what is left out with a
// warning, and the bounds that stop hostile files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "import/stroke_font.h"
#include "import/svg.h"
#include "import/xml_tree.h"

namespace qorvan::import {
namespace {

    struct Result {
        bool ok = false;
        std::string error;
        Drawing drawing;
        Extents extents;
        std::vector<std::string> warnings; // from reading and drawing
    };

    Result run(const std::string& svg, Options options = {}, double unitsPerPixel = 1)
    {
        Result r;
        OpenResult open = openSvgBytes(svg, "test.svg", options);
        if (!open.source) {
            r.error = open.error;
            return r;
        }
        r.extents = open.source->extents();
        r.warnings = open.source->warnings();
        r.ok = open.source->draw(Grid { unitsPerPixel, unitsPerPixel / 2 }, r.drawing, r.error);
        r.warnings.insert(r.warnings.end(), r.drawing.warnings.begin(), r.drawing.warnings.end());
        return r;
    }

    std::string svg(const std::string& body, const std::string& attrs = "width=\"100\" height=\"100\"")
    {
        return "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
            + attrs + ">" + body + "</svg>";
    }

    Extents boxOf(const Shape& s)
    {
        Extents e;
        for (const Ring& r : s.rings)
            for (Vec2 p : r.points)
                e.add(p);
        return e;
    }

    void expectBox(
        const Shape& s, double minX, double minY, double maxX, double maxY, const std::string& what)
    {
        const Extents e = boxOf(s);
        EXPECT_NEAR(e.minX, minX, 1e-6) << what;
        EXPECT_NEAR(e.minY, minY, 1e-6) << what;
        EXPECT_NEAR(e.maxX, maxX, 1e-6) << what;
        EXPECT_NEAR(e.maxY, maxY, 1e-6) << what;
    }

    bool anyWarning(const Result& r, const std::string& word)
    {
        return std::any_of(r.warnings.begin(), r.warnings.end(),
            [&](const std::string& w) { return w.find(word) != std::string::npos; });
    }

    TEST(SvgReader, PlacementInTheDrawing)
    {
        // Boxes in drawing units, y up from the bottom of the viewport.
        struct Case {
            const char* what;
            std::string doc;
            double minX, minY, maxX, maxY;
        } cases[] = {
            { "rect, y flipped",
                svg("<rect x=\"10\" y=\"5\" width=\"20\" height=\"10\"/>", "width=\"100\" height=\"50\""), 10,
                35, 30, 45 },
            { "units", svg("<rect width=\"1in\" height=\"72pt\"/>", "width=\"200\" height=\"200\""), 0, 104,
                96, 200 },
            { "percentages of the viewport",
                svg("<rect x=\"10%\" width=\"50%\" height=\"25%\"/>", "width=\"200\" height=\"100\""), 20, 75,
                120, 100 },
            { "viewBox scales",
                svg("<rect width=\"20\" height=\"10\"/>",
                    "width=\"200\" height=\"100\" viewBox=\"0 0 20 10\""),
                0, 0, 200, 100 },
            { "viewBox origin",
                svg("<rect x=\"5\" y=\"5\" width=\"1\" height=\"1\"/>",
                    "width=\"10\" height=\"10\" viewBox=\"5 5 10 10\""),
                0, 9, 1, 10 },
            { "meet centres",
                svg("<rect width=\"20\" height=\"10\"/>",
                    "width=\"100\" height=\"100\" viewBox=\"0 0 20 10\""),
                0, 25, 100, 75 },
            { "xMinYMin meet",
                svg("<rect width=\"20\" height=\"10\"/>",
                    "width=\"100\" height=\"100\" viewBox=\"0 0 20 10\" preserveAspectRatio=\"xMinYMin "
                    "meet\""),
                0, 50, 100, 100 },
            { "none stretches",
                svg("<rect width=\"20\" height=\"10\"/>",
                    "width=\"100\" height=\"100\" viewBox=\"0 0 20 10\" preserveAspectRatio=\"none\""),
                0, 0, 100, 100 },
            { "only a viewBox", svg("<rect width=\"4\" height=\"2\"/>", "viewBox=\"0 0 4 2\""), 0, 0, 4, 2 },
            { "nested transforms",
                svg("<g transform=\"translate(10,0)\"><g transform=\"scale(2)\"><rect x=\"1\" width=\"1\" "
                    "height=\"1\"/></g></g>"),
                12, 98, 14, 100 },
            { "transform on the shape",
                svg("<rect width=\"10\" height=\"10\" transform=\"translate(50) rotate(90)\"/>"), 40, 90, 50,
                100 },
            { "use with x and y",
                svg("<defs><rect id=\"r\" width=\"2\" height=\"2\"/></defs><use xlink:href=\"#r\" x=\"5\" "
                    "y=\"5\"/>"),
                5, 93, 7, 95 },
            { "symbol with a viewBox",
                svg("<symbol id=\"s\" viewBox=\"0 0 1 1\"><rect width=\"1\" height=\"1\"/></symbol>"
                    "<use href=\"#s\" x=\"10\" width=\"10\" height=\"10\"/>"),
                10, 90, 20, 100 },
            { "nested svg",
                svg("<svg x=\"50\" y=\"50\" width=\"10\" height=\"10\" viewBox=\"0 0 1 1\"><rect width=\"1\" "
                    "height=\"1\"/></svg>"),
                50, 40, 60, 50 },
            { "circle", svg("<circle cx=\"50\" cy=\"50\" r=\"10\"/>"), 40, 40, 60, 60 },
            { "ellipse", svg("<ellipse cx=\"50\" cy=\"50\" rx=\"20\" ry=\"10\"/>"), 30, 40, 70, 60 },
            { "polygon", svg("<polygon points=\"10,10 20,10 15,30\"/>"), 10, 70, 20, 90 },
            { "cut at the viewport", svg("<rect x=\"-10\" y=\"-10\" width=\"30\" height=\"30\"/>"), 0, 80, 20,
                100 },
        };
        for (const Case& c : cases) {
            const Result r = run(c.doc);
            ASSERT_TRUE(r.ok) << c.what << ": " << r.error;
            ASSERT_EQ(r.drawing.shapes.size(), 1u) << c.what;
            EXPECT_TRUE(r.drawing.shapes[0].filled) << c.what;
            expectBox(r.drawing.shapes[0], c.minX, c.minY, c.maxX, c.maxY, c.what);
        }
    }

    TEST(SvgReader, ExtentsAreTheViewport)
    {
        const Result r = run(svg("<rect width=\"1\" height=\"1\"/>", "width=\"30mm\" viewBox=\"0 0 2 1\""));
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_NEAR(r.extents.width(), 30 * 96 / 25.4, 1e-9);
        EXPECT_NEAR(r.extents.height(), 15 * 96 / 25.4, 1e-9);
        // Without any size, the drawing's own extent, and nothing is cut.
        const Result own = run(svg("<rect x=\"-5\" y=\"10\" width=\"20\" height=\"5\"/>", ""));
        ASSERT_TRUE(own.ok) << own.error;
        EXPECT_NEAR(own.extents.width(), 20, 1e-9);
        EXPECT_NEAR(own.extents.height(), 5, 1e-9);
        EXPECT_TRUE(anyWarning(own, "no width"));
    }

    TEST(SvgReader, PaintCascade)
    {
        struct Case {
            const char* what;
            std::string body;
            int colour; // of the one shape drawn
        } cases[] = {
            { "black by default", "<rect width=\"5\" height=\"5\"/>", 7 },
            { "inherited", "<g fill=\"blue\"><g><rect width=\"5\" height=\"5\"/></g></g>", 5 },
            { "style beats attribute", "<rect fill=\"red\" style=\"fill:lime\" width=\"5\" height=\"5\"/>",
                3 },
            { "sheet beats attribute",
                "<style>.c{fill:#0000ff}</style><rect class=\"c\" fill=\"red\" width=\"5\" height=\"5\"/>",
                5 },
            { "style beats sheet",
                "<style>rect{fill:#0000ff}</style><rect style=\"fill:red\" width=\"5\" height=\"5\"/>", 1 },
            { "currentColor from the element",
                "<g color=\"blue\"><rect color=\"red\" fill=\"currentColor\" width=\"5\" height=\"5\"/></g>",
                1 },
            { "currentColor inherited as a keyword",
                "<g fill=\"currentColor\" color=\"blue\"><rect color=\"red\" width=\"5\" height=\"5\"/></g>",
                1 },
            { "explicit inherit", "<g fill=\"red\"><rect fill=\"inherit\" width=\"5\" height=\"5\"/></g>",
                1 },
            { "gradient: mean of its stops",
                "<linearGradient id=\"g\"><stop offset=\"0\" stop-color=\"#ff0000\"/><stop offset=\"1\" "
                "style=\"stop-color:#ff0000\"/>"
                "</linearGradient><rect fill=\"url(#g)\" width=\"5\" height=\"5\"/>",
                1 },
            { "gradient stops through href",
                "<linearGradient id=\"a\"><stop stop-color=\"blue\"/></linearGradient><radialGradient "
                "id=\"b\" xlink:href=\"#a\"/>"
                "<rect fill=\"url(#b)\" width=\"5\" height=\"5\"/>",
                5 },
            { "missing reference with a fallback",
                "<rect fill=\"url(#nothing) red\" width=\"5\" height=\"5\"/>", 1 },
            { "bad value keeps the inherited one",
                "<g fill=\"red\"><rect fill=\"reddish\" width=\"5\" height=\"5\"/></g>", 1 },
        };
        for (const Case& c : cases) {
            const Result r = run(svg(c.body));
            ASSERT_TRUE(r.ok) << c.what << ": " << r.error;
            ASSERT_EQ(r.drawing.shapes.size(), 1u) << c.what;
            EXPECT_EQ(r.drawing.shapes[0].colour, c.colour) << c.what;
        }
    }

    TEST(SvgReader, WhatIsLeftOut)
    {
        struct Case {
            const char* what;
            std::string body;
            std::size_t shapes;
            const char* warning; // empty: none expected
        } cases[] = {
            { "display none", "<g display=\"none\"><rect width=\"5\" height=\"5\"/></g>", 0, "" },
            { "display none in style", "<rect style=\"display:none\" width=\"5\" height=\"5\"/>", 0, "" },
            { "hidden group, visible child",
                "<g visibility=\"hidden\"><rect width=\"5\" height=\"5\"/><rect visibility=\"visible\" "
                "width=\"5\" height=\"5\"/></g>",
                1, "" },
            { "fill none", "<rect fill=\"none\" width=\"5\" height=\"5\"/>", 0, "" },
            { "defs are not drawn", "<defs><rect width=\"5\" height=\"5\"/></defs>", 0, "" },
            { "translucent group", "<g opacity=\"0.3\"><rect width=\"5\" height=\"5\"/></g>", 0,
                "transparent" },
            { "opacities multiply", "<g opacity=\"0.7\"><rect opacity=\"0.7\" width=\"5\" height=\"5\"/></g>",
                0, "transparent" },
            { "half opaque is drawn", "<rect fill-opacity=\"50%\" width=\"5\" height=\"5\"/>", 1, "" },
            { "image", "<image href=\"x.png\" width=\"5\" height=\"5\"/>", 0, "image" },
            { "pattern paint", "<pattern id=\"p\"/><rect fill=\"url(#p)\" width=\"5\" height=\"5\"/>", 0,
                "pattern" },
            { "use of itself", "<g id=\"a\"><use href=\"#a\"/><rect width=\"5\" height=\"5\"/></g>", 1,
                "themselves" },
            { "use of nothing", "<use href=\"#missing\"/>", 0, "missing" },
            { "clip path", "<rect clip-path=\"url(#c)\" width=\"5\" height=\"5\"/>", 1, "clip" },
            { "filter", "<filter id=\"f\"/><rect filter=\"url(#f)\" width=\"5\" height=\"5\"/>", 1,
                "filter" },
            { "bad path data", "<path d=\"M0 0 L10 0 L10 10 Z L\"/>", 1, "offset 21" },
            { "zero-size rect", "<rect width=\"0\" height=\"5\"/>", 0, "" },
            { "foreign elements", "<x:thing xmlns:x=\"urn:x\"><rect width=\"5\" height=\"5\"/></x:thing>", 0,
                "" },
        };
        for (const Case& c : cases) {
            const Result r = run(svg(c.body));
            ASSERT_TRUE(r.ok) << c.what << ": " << r.error;
            EXPECT_EQ(r.drawing.shapes.size(), c.shapes) << c.what;
            if (*c.warning)
                EXPECT_TRUE(anyWarning(r, c.warning)) << c.what;
            else
                EXPECT_TRUE(r.warnings.empty()) << c.what << ": " << r.warnings[0];
        }
    }

    TEST(SvgReader, StrokesThinAsLinesWideAsAreas)
    {
        Options options;
        options.strokeWidthPixels = 3;
        // At 1 unit per pixel a 2-wide stroke stays a line, a 4-wide one is an
        // area; at 4 units per pixel the 4-wide stroke is one pixel and a line.
        struct Case {
            double width, unitsPerPixel;
            bool area;
        } cases[] = { { 2, 1, false }, { 3, 1, false }, { 4, 1, true }, { 4, 4, false }, { 20, 4, true } };
        for (const Case& c : cases) {
            const std::string doc = svg("<polyline fill=\"none\" stroke=\"red\" stroke-width=\""
                + std::to_string(c.width) + "\" points=\"10,50 50,50 50,90\"/>");
            const Result r = run(doc, options, c.unitsPerPixel);
            ASSERT_TRUE(r.ok) << r.error;
            ASSERT_EQ(r.drawing.shapes.size(), 1u);
            const Shape& s = r.drawing.shapes[0];
            EXPECT_EQ(s.colour, 1);
            EXPECT_EQ(s.filled, c.area) << c.width << " at " << c.unitsPerPixel;
            const Extents e = boxOf(s);
            if (c.area) {
                // Butt caps, miter join: the outline reaches half the width
                // beyond the corner and not beyond the ends.
                EXPECT_NEAR(e.minX, 10, 1e-9);
                EXPECT_NEAR(e.maxX, 50 + c.width / 2, 1e-9);
                EXPECT_NEAR(e.maxY, 50 + c.width / 2, 1e-9);
                EXPECT_NEAR(e.minY, 10, 1e-9);
            } else {
                ASSERT_EQ(s.rings.size(), 1u);
                EXPECT_EQ(s.rings[0].points.size(), 3u);
                EXPECT_FALSE(s.rings[0].closed);
            }
        }
        // A closed shape's thin stroke is a closed ring; dashes cut it.
        Result r = run(svg("<rect fill=\"none\" stroke=\"black\" width=\"40\" height=\"40\"/>"));
        ASSERT_EQ(r.drawing.shapes.size(), 1u);
        EXPECT_TRUE(r.drawing.shapes[0].rings[0].closed);
        r = run(
            svg("<line stroke=\"black\" stroke-dasharray=\"10 5\" x1=\"0\" y1=\"1\" x2=\"100\" y2=\"1\"/>"));
        ASSERT_EQ(r.drawing.shapes.size(), 1u);
        EXPECT_EQ(r.drawing.shapes[0].rings.size(), 7u); // 0-10, 15-25, ... 90-100
    }

    TEST(SvgReader, DashesFinerThanADotAreSolidAndTooManyAreRefused)
    {
        const std::string line = "<line stroke=\"black\" x1=\"0\" y1=\"1\" x2=\"100\" y2=\"1\" ";
        // A pattern that repeats within a dot cannot show: one solid line,
        // and a warning that says so.
        for (const char* dashes : { "1e-9 1e-9", "0.4 0.4" }) {
            const Result r = run(svg(line + "stroke-dasharray=\"" + dashes + "\"/>"));
            ASSERT_TRUE(r.ok) << r.error;
            ASSERT_EQ(r.drawing.shapes.size(), 1u) << dashes;
            EXPECT_EQ(r.drawing.shapes[0].rings.size(), 1u) << dashes;
            EXPECT_TRUE(anyWarning(r, "drawn solid")) << dashes;
        }
        // The same pattern on a grid ten times finer is dashes again.
        Result r = run(svg(line + "stroke-dasharray=\"0.4 0.4\"/>"), {}, 0.1);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.drawing.shapes[0].rings.size(), 125u);
        EXPECT_FALSE(anyWarning(r, "drawn solid"));
        // Dashes a dot long that would be more pieces than a drawing may hold
        // are an error naming the input and the bound, not a cut drawing.
        Options few;
        few.limits.maxEntities = 100;
        r = run(svg(line + "stroke-dasharray=\"0.5 0.5\"/>"), few, 0.1);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, "test.svg: a dash pattern cuts a stroke into more than 100 pieces");
    }

    TEST(SvgReader, TextInTheStrokeFont)
    {
        std::string why;
        if (!StrokeFont::load("futural", why)) {
            // Without the font, text is left out and the warning says why.
            const Result r = run(svg("<text y=\"50\">HI</text>"));
            ASSERT_TRUE(r.ok) << r.error;
            EXPECT_TRUE(r.drawing.shapes.empty());
            EXPECT_TRUE(anyWarning(r, "text element(s) left out"));
            GTEST_SKIP() << "no stroke font: " << why;
        }
        // Capitals stand 0.7 of the font size on the baseline, y = 50 here.
        struct Case {
            const char* what;
            std::string body;
            double left, right; // where the text must begin and end (NAN: not checked)
        } cases[] = {
            { "start", "<text x=\"10\" y=\"50\" font-size=\"20\" fill=\"red\">HI</text>", 10, NAN },
            { "end", "<text x=\"90\" y=\"50\" font-size=\"20\" fill=\"red\" text-anchor=\"end\">HI</text>",
                NAN, 90 },
            { "tspans in one chunk",
                "<text x=\"90\" y=\"50\" font-size=\"20\" fill=\"red\" "
                "style=\"text-anchor:end\">H<tspan>I</tspan></text>",
                NAN, 90 },
            { "white space", "<text x=\"10\" y=\"50\" font-size=\"20\" fill=\"red\">\n   HI  \n </text>", 10,
                NAN },
        };
        double width = 0;
        for (const Case& c : cases) {
            const Result r = run(svg(c.body));
            ASSERT_TRUE(r.ok) << c.what << ": " << r.error;
            ASSERT_EQ(r.drawing.shapes.size(), 1u) << c.what;
            const Shape& s = r.drawing.shapes[0];
            EXPECT_FALSE(s.filled) << c.what;
            EXPECT_EQ(s.colour, 1) << c.what;
            const Extents e = boxOf(s);
            EXPECT_NEAR(e.minY, 50, 0.5) << c.what;
            EXPECT_NEAR(e.maxY, 64, 0.5) << c.what;
            // Within the side bearings of H and I (a fifth of their height).
            if (!std::isnan(c.left)) {
                EXPECT_NEAR(e.minX, c.left, 3) << c.what;
            }
            if (!std::isnan(c.right)) {
                EXPECT_NEAR(e.maxX, c.right, 3) << c.what;
            }
            // The same two letters are the same width however they are written.
            if (width == 0) width = e.width();
            EXPECT_NEAR(e.width(), width, 1e-9) << c.what;
        }
        // Text that is not painted, or hidden, draws nothing.
        EXPECT_TRUE(run(svg("<text fill=\"none\" y=\"50\">HI</text>")).drawing.shapes.empty());
        EXPECT_TRUE(run(svg("<text visibility=\"hidden\" y=\"50\">HI</text>")).drawing.shapes.empty());
    }

    TEST(SvgReader, RefusedDocuments)
    {
        struct Case {
            const char* what;
            std::string doc;
            const char* reason;
        } cases[] = {
            { "not XML", "hello", "line 1" },
            { "mismatched tags", "<svg>\n<g></svg>", "line 2" },
            { "not SVG", "<html/>", "not an SVG" },
            { "external entity", "<!DOCTYPE svg [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><svg>&e;</svg>",
                "external entity" },
            { "public external entity",
                "<!DOCTYPE svg [<!ENTITY e PUBLIC \"-//x\" \"http://example.com/x\">]><svg>&e;</svg>",
                "external entity" },
        };
        for (const Case& c : cases) {
            const Result r = run(c.doc);
            EXPECT_FALSE(r.ok) << c.what;
            EXPECT_NE(r.error.find("test.svg: "), std::string::npos) << c.what << ": " << r.error;
            EXPECT_NE(r.error.find(c.reason), std::string::npos) << c.what << ": " << r.error;
        }
        // Internal entities are fine (drawing programs write them).
        const Result ok
            = run("<!DOCTYPE svg [<!ENTITY ns \"http://www.w3.org/2000/svg\">]>"
                  "<svg xmlns=\"&ns;\" width=\"10\" height=\"10\"><rect width=\"5\" height=\"5\"/></svg>");
        EXPECT_TRUE(ok.ok) << ok.error;
        EXPECT_EQ(ok.drawing.shapes.size(), 1u);
    }

    TEST(SvgReader, BoundsStopHostileDocuments)
    {
        // Entities that multiply: stopped by the expansion guard long before
        // they reach gigabytes.
        std::string laughs = "<!DOCTYPE svg [<!ENTITY a0 "
                             "\"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">";
        for (int i = 1; i < 10; ++i) {
            std::string refs;
            for (int k = 0; k < 10; ++k)
                refs += "&a" + std::to_string(i - 1) + ";";
            laughs += "<!ENTITY a" + std::to_string(i) + " \"" + refs + "\">";
        }
        laughs += "]><svg><text>&a9;</text></svg>";
        Result r = run(laughs);
        EXPECT_FALSE(r.ok);

        Options options;
        options.limits.maxDepth = 10;
        std::string deep;
        for (int i = 0; i < 12; ++i)
            deep += "<g>";
        deep += "<rect width=\"1\" height=\"1\"/>";
        for (int i = 0; i < 12; ++i)
            deep += "</g>";
        r = run(svg(deep), options);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("nested more than 10"), std::string::npos) << r.error;

        // References that multiply: each level uses the one below twice.
        std::string fan = "<defs><rect id=\"l0\" width=\"1\" height=\"1\"/>";
        for (int i = 1; i <= 13; ++i)
            fan += "<g id=\"l" + std::to_string(i) + "\"><use href=\"#l" + std::to_string(i - 1)
                + "\"/><use href=\"#l" + std::to_string(i - 1) + "\"/></g>";
        fan += "</defs><use href=\"#l13\"/>";
        options = Options {};
        options.limits.maxEntities = 10000;
        r = run(svg(fan), options);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("10000"), std::string::npos) << r.error;

        options = Options {};
        options.limits.maxPoints = 1000;
        std::string many = "<path d=\"M0 0";
        for (int i = 0; i < 2000; ++i)
            many += " L1 1";
        r = run(svg(many + "\"/>"), options);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("1000 points"), std::string::npos) << r.error;
        // The same bound across many small paths.
        std::string small;
        for (int i = 0; i < 60; ++i)
            small += "<path d=\"M0 0 l1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 "
                     "1 1 1 1 1\"/>";
        r = run(svg(small), options);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("1000 points"), std::string::npos) << r.error;

        options = Options {};
        options.limits.maxFileBytes = 100;
        r = run(svg(std::string(200, ' ')), options);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("larger than 100 bytes"), std::string::npos) << r.error;
    }

    TEST(SvgReader, ViewportsCutWhatTheyHold)
    {
        // A rect far larger than every viewport round it; boxes in drawing
        // units, y up from the bottom of the 100 by 100 root.
        const std::string big = "<rect x=\"-500\" y=\"-500\" width=\"1000\" height=\"1000\" fill=\"red\"/>";
        struct Case {
            const char* what;
            std::string body;
            double minX, minY, maxX, maxY;
        } cases[] = {
            { "nested svg", "<svg x=\"10\" y=\"20\" width=\"30\" height=\"40\">" + big + "</svg>", 10, 40, 40,
                80 },
            { "nested svg, overflow visible",
                "<svg x=\"10\" y=\"20\" width=\"30\" height=\"40\" overflow=\"visible\">" + big + "</svg>", 0,
                0, 100, 100 },
            { "nested in nested",
                "<svg x=\"10\" y=\"10\" width=\"50\" height=\"50\"><svg x=\"30\" y=\"30\" width=\"50\" "
                "height=\"50\">"
                    + big + "</svg></svg>",
                40, 40, 60, 60 },
            { "symbol by use",
                "<symbol id=\"s\" viewBox=\"0 0 10 10\">" + big
                    + "</symbol><use href=\"#s\" x=\"50\" y=\"10\" width=\"20\" height=\"20\"/>",
                50, 70, 70, 90 },
            { "symbol, overflow in style",
                "<symbol id=\"s\" viewBox=\"0 0 10 10\" style=\"overflow:visible\">" + big
                    + "</symbol><use href=\"#s\" x=\"50\" y=\"10\" width=\"20\" height=\"20\"/>",
                0, 0, 100, 100 },
            { "a group is no viewport", "<g transform=\"translate(10 10)\">" + big + "</g>", 0, 0, 100, 100 },
        };
        for (const Case& c : cases) {
            const Result r = run(svg(c.body));
            ASSERT_TRUE(r.ok) << c.what << ": " << r.error;
            ASSERT_EQ(r.drawing.shapes.size(), 1u) << c.what;
            expectBox(r.drawing.shapes[0], c.minX, c.minY, c.maxX, c.maxY, c.what);
        }
        // Whatever lies wholly outside a viewport is gone.
        const Result r
            = run(svg("<svg width=\"10\" height=\"10\"><rect x=\"20\" width=\"5\" height=\"5\"/></svg>"));
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_TRUE(r.drawing.shapes.empty());
    }

    TEST(SvgReader, TransformOrigin)
    {
        const std::string rect = "<rect x=\"40\" y=\"20\" width=\"20\" height=\"10\" ";
        struct Case {
            const char* what;
            std::string body;
            double minX, minY, maxX, maxY;
        } cases[] = {
            { "none: about the user origin", rect + "transform=\"scale(2)\"/>", 80, 40, 100, 60 },
            { "lengths", rect + "transform=\"scale(2)\" transform-origin=\"50 25\"/>", 30, 65, 70, 85 },
            { "percentages of the viewport", rect + "transform=\"scale(2)\" transform-origin=\"50% 25%\"/>",
                30, 65, 70, 85 },
            { "keywords in either order", rect + "transform=\"scale(2)\" transform-origin=\"top left\"/>", 80,
                40, 100, 60 },
            { "one keyword centres the other axis",
                rect + "transform=\"rotate(90)\" transform-origin=\"center\"/>", 70, 40, 80, 60 },
            { "in style", rect + "transform=\"scale(2)\" style=\"transform-origin:50px 25px\"/>", 30, 65, 70,
                85 },
            { "bad origin: as if absent", rect + "transform=\"scale(2)\" transform-origin=\"sideways\"/>", 80,
                40, 100, 60 },
        };
        for (const Case& c : cases) {
            const Result r = run(svg(c.body));
            ASSERT_TRUE(r.ok) << c.what << ": " << r.error;
            ASSERT_EQ(r.drawing.shapes.size(), 1u) << c.what;
            expectBox(r.drawing.shapes[0], c.minX, c.minY, c.maxX, c.maxY, c.what);
        }
    }

    TEST(SvgReader, MarkersAtTheVertices)
    {
        // A blue bar 10 long and 2 wide whose left end sits on the vertex:
        // where it points shows the orientation.
        const std::string marker
            = "<marker id=\"m\" markerWidth=\"10\" markerHeight=\"2\" refX=\"0\" refY=\"1\" orient=\"auto\" "
              "markerUnits=\"userSpaceOnUse\"><rect width=\"10\" height=\"2\" fill=\"blue\"/></marker>";
        auto markerBoxes = [](const Result& r) {
            std::vector<Extents> boxes;
            for (const Shape& s : r.drawing.shapes)
                if (s.colour == 5) boxes.push_back(boxOf(s));
            return boxes;
        };
        // Along 20,20 -> 50,20 -> 50,60 (user space, y down).
        Result r = run(svg(marker
            + "<polyline points=\"20,20 50,20 50,60\" fill=\"none\" stroke=\"red\" marker-start=\"url(#m)\" "
              "marker-mid=\"url(#m)\" marker-end=\"url(#m)\"/>"));
        ASSERT_TRUE(r.ok) << r.error;
        std::vector<Extents> boxes = markerBoxes(r);
        ASSERT_EQ(boxes.size(), 3u);
        // Start: pointing right from (20, 20), that is drawing y 80.
        EXPECT_NEAR(boxes[0].minX, 20, 1e-6);
        EXPECT_NEAR(boxes[0].maxX, 30, 1e-6);
        EXPECT_NEAR(boxes[0].minY, 79, 1e-6);
        // Middle: halfway between right and down, 45 degrees.
        EXPECT_NEAR(boxes[1].maxX, 50 + 10 / std::sqrt(2) + 1 / std::sqrt(2), 1e-6);
        EXPECT_NEAR(boxes[1].minY, 80 - 10 / std::sqrt(2) - 1 / std::sqrt(2), 1e-6);
        // End: pointing down from (50, 60), drawing y 40 to 30.
        EXPECT_NEAR(boxes[2].minX, 49, 1e-6);
        EXPECT_NEAR(boxes[2].maxX, 51, 1e-6);
        EXPECT_NEAR(boxes[2].minY, 30, 1e-6);
        EXPECT_NEAR(boxes[2].maxY, 40, 1e-6);

        struct Case {
            const char* what;
            std::string body;
            std::size_t markers;
            double minX, maxX; // of the first marker (NAN: not checked)
        } cases[] = {
            { "an arc is one segment: no middle vertex",
                marker + "<path d=\"M10 50 A 20 20 0 0 1 50 50\" fill=\"none\" marker-mid=\"url(#m)\"/>", 0,
                NAN, NAN },
            { "marker in style, on a line",
                marker + "<line x1=\"10\" y1=\"10\" x2=\"40\" y2=\"10\" style=\"marker-end:url(#m)\"/>", 1,
                40, 50 },
            { "auto-start-reverse turns the start",
                std::string("<marker id=\"m\" markerWidth=\"10\" markerHeight=\"2\" refY=\"1\" "
                            "orient=\"auto-start-reverse\" markerUnits=\"userSpaceOnUse\"><rect width=\"10\" "
                            "height=\"2\" fill=\"blue\"/></marker>")
                    + "<line x1=\"30\" y1=\"10\" x2=\"60\" y2=\"10\" marker-start=\"url(#m)\"/>",
                1, 20, 30 },
            { "scaled by the stroke width",
                std::string(
                    "<marker id=\"m\" markerWidth=\"10\" markerHeight=\"2\" refY=\"1\"><rect width=\"10\" "
                    "height=\"2\" fill=\"blue\"/></marker>")
                    + "<line x1=\"10\" y1=\"10\" x2=\"40\" y2=\"10\" stroke=\"red\" stroke-width=\"3\" "
                      "marker-end=\"url(#m)\"/>",
                1, 40, 70 },
            { "cut to the marker's viewport",
                std::string("<marker id=\"m\" markerWidth=\"10\" markerHeight=\"2\" refY=\"1\" "
                            "markerUnits=\"userSpaceOnUse\"><rect x=\"-50\" width=\"100\" height=\"2\" "
                            "fill=\"blue\"/></marker>")
                    + "<line x1=\"10\" y1=\"10\" x2=\"40\" y2=\"10\" marker-end=\"url(#m)\"/>",
                1, 40, 50 },
            { "not a marker",
                "<rect id=\"m\"/><line x1=\"10\" y1=\"10\" x2=\"40\" y2=\"10\" marker-end=\"url(#m)\"/>", 0,
                NAN, NAN },
        };
        for (const Case& c : cases) {
            r = run(svg(c.body));
            ASSERT_TRUE(r.ok) << c.what << ": " << r.error;
            boxes = markerBoxes(r);
            ASSERT_EQ(boxes.size(), c.markers) << c.what;
            if (!std::isnan(c.minX)) {
                EXPECT_NEAR(boxes[0].minX, c.minX, 1e-6) << c.what;
                EXPECT_NEAR(boxes[0].maxX, c.maxX, 1e-6) << c.what;
            }
        }
    }

    TEST(SvgReader, TextCharacterByCharacter)
    {
        std::string why;
        if (!StrokeFont::load("futural", why)) GTEST_SKIP() << "no stroke font: " << why;
        // Each document must draw exactly what its plainer twin draws.
        auto points = [](const Result& r) {
            std::vector<std::tuple<int, long, long>> p;
            for (const Shape& s : r.drawing.shapes)
                for (const Ring& ring : s.rings)
                    for (Vec2 v : ring.points)
                        p.emplace_back(s.colour, std::lround(v.x * 1000), std::lround(v.y * 1000));
            std::sort(p.begin(), p.end());
            return p;
        };
        struct Case {
            const char* what;
            std::string body, twin;
        } cases[] = {
            { "x list", "<text x=\"10 50\" y=\"50\">HI</text>",
                "<text x=\"10\" y=\"50\">H</text><text x=\"50\" y=\"50\">I</text>" },
            { "y list", "<text x=\"10\" y=\"50 30\">HI</text>",
                "<text x=\"10\" y=\"50\">H<tspan y=\"30\">I</tspan></text>" },
            { "dx and dy lists", "<text x=\"10\" y=\"50\" dx=\"0 7\" dy=\"0 -5\">HI</text>",
                "<text x=\"10\" y=\"50\">H<tspan dx=\"7\" dy=\"-5\">I</tspan></text>" },
            { "a tspan's list wins over its text's",
                "<text x=\"10 20 30\" y=\"50\">H<tspan x=\"60\">II</tspan></text>",
                "<text x=\"10\" y=\"50\">H</text><text x=\"60\" y=\"50\">I</text><text x=\"30\" "
                "y=\"50\">I</text>" },
            { "text inside a link", "<text x=\"10\" y=\"50\"><a href=\"#x\">H<tspan>I</tspan></a></text>",
                "<text x=\"10\" y=\"50\">HI</text>" },
            { "anchor of a positioned tspan",
                "<text x=\"10\" y=\"50\">A<tspan x=\"90\" text-anchor=\"end\">HI</tspan></text>",
                "<text x=\"10\" y=\"50\">A</text><text x=\"90\" y=\"50\" text-anchor=\"end\">HI</text>" },
            { "a tspan's own fill",
                "<text x=\"10\" y=\"50\" fill=\"red\">H<tspan fill=\"blue\">I</tspan>H</text>",
                "<text x=\"10\" y=\"50\" fill=\"red\">H<tspan fill=\"blue\">I</tspan><tspan "
                "fill=\"red\">H</tspan>"
                "</text>" },
            { "the last rotation goes on", "<text x=\"10\" y=\"50\" rotate=\"5 90\">HIH</text>",
                "<text x=\"10\" y=\"50\" rotate=\"5 90 90\">HIH</text>" },
        };
        for (const Case& c : cases) {
            const Result a = run(svg(c.body)), b = run(svg(c.twin));
            ASSERT_TRUE(a.ok && b.ok) << c.what;
            EXPECT_FALSE(a.drawing.shapes.empty()) << c.what;
            EXPECT_EQ(points(a), points(b)) << c.what;
        }
        // The twin of a tspan's own fill is really two colours.
        const Result coloured
            = run(svg("<text x=\"10\" y=\"50\" fill=\"red\">H<tspan fill=\"blue\">I</tspan></text>"));
        ASSERT_EQ(coloured.drawing.shapes.size(), 2u);
        EXPECT_EQ(coloured.drawing.shapes[0].colour, 1);
        EXPECT_EQ(coloured.drawing.shapes[1].colour, 5);
        // rotate="90" turns the letter clockwise about where it stands: the
        // capital, which stood above the baseline, lies right of x and below y.
        const Result turned = run(svg("<text x=\"10\" y=\"50\" font-size=\"20\" rotate=\"90\">H</text>"));
        ASSERT_EQ(turned.drawing.shapes.size(), 1u);
        const Extents e = boxOf(turned.drawing.shapes[0]);
        EXPECT_LE(e.maxY, 50 + 0.5); // drawing y is up: below the baseline
        EXPECT_NEAR(e.minX, 10, 0.5);
        EXPECT_NEAR(e.maxX, 24, 0.5);
    }

    TEST(SvgReader, LegacyEightBitEncodings)
    {
        struct Case {
            const char* encoding;
            std::string byte;
            const char* utf8;
        } cases[] = {
            { "windows-1250", "\x8A", "\xC5\xA0" }, // S caron
            { "windows-1251", "\xC0", "\xD0\x90" }, // Cyrillic A
            { "Windows-1252", "\x80", "\xE2\x82\xAC" }, // euro
            { "cp1253", "\xC1", "\xCE\x91" }, // Greek Alpha
            { "ISO-8859-2", "\xA3", "\xC5\x81" }, // L stroke
            { "iso-8859-5", "\xB0", "\xD0\x90" }, { "ISO_8859-15", "\xA4", "\xE2\x82\xAC" },
            { "latin2", "\xA3", "\xC5\x81" }, { "KOI8-R", "\xE1", "\xD0\x90" },
            { "koi8-u", "\xA4", "\xD1\x94" }, // Ukrainian ie
            { "windows-1252", "\x81", "\xEF\xBF\xBD" }, // no character: the replacement one
        };
        for (const Case& c : cases) {
            const std::string doc = std::string("<?xml version=\"1.0\" encoding=\"") + c.encoding
                + "\"?><svg id=\"" + c.byte + "\"/>";
            xml::Document d;
            std::string why;
            ASSERT_TRUE(xml::readDocument(doc, {}, d, why)) << c.encoding << ": " << why;
            const std::string* id = d.nodes[0].attribute("id");
            ASSERT_NE(id, nullptr);
            EXPECT_EQ(*id, c.utf8) << c.encoding;
        }
        const Result r = run("<?xml version=\"1.0\" encoding=\"x-unheard-of\"?><svg/>");
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("encoding \"x-unheard-of\" not supported"), std::string::npos) << r.error;
    }

} // namespace
} // namespace qorvan::import
