// The DXF reader's entities as the shapes they become: pattern hatches cut by
// their boundary and holes, linetypes, widths, leaders, multilines,
// construction lines, picture frames, meshes, fit-point splines, and what
// is left out (invisible entities, attribute definitions in blocks).
#include "import/dxf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace qorvan::import {
namespace {

    using Groups = std::vector<std::pair<int, std::string>>;

    std::string dxf(const Groups& groups)
    {
        std::string s;
        for (const auto& [code, value] : groups)
            s += std::to_string(code) + "\n" + value + "\n";
        return s;
    }

    Groups section(const char* name, const Groups& body)
    {
        Groups g { { 0, "SECTION" }, { 2, name } };
        g.insert(g.end(), body.begin(), body.end());
        g.push_back({ 0, "ENDSEC" });
        return g;
    }

    Groups join(std::initializer_list<Groups> parts)
    {
        Groups g;
        for (const Groups& p : parts)
            g.insert(g.end(), p.begin(), p.end());
        return g;
    }

    std::string file(const Groups& entities, const Groups& before = {})
    {
        return dxf(join({ before, section("ENTITIES", entities), { { 0, "EOF" } } }));
    }

    // The drawing at a grid of `pixels` along its longer side.
    Drawing drawAt(const std::string& text, double pixels = 200)
    {
        OpenResult r = readDxf(text, "t.dxf", {});
        EXPECT_TRUE(r.source) << r.error;
        Drawing d;
        if (!r.source) return d;
        std::string error;
        EXPECT_TRUE(r.source->draw(gridFor(r.source->extents(), pixels), d, error)) << error;
        return d;
    }

    double length(const Ring& r)
    {
        double l = 0;
        for (std::size_t i = 1; i < r.points.size(); ++i)
            l += std::hypot(r.points[i].x - r.points[i - 1].x, r.points[i].y - r.points[i - 1].y);
        return l;
    }

    bool inside(Vec2 p, double x0, double y0, double x1, double y1, double margin = 1e-6)
    {
        return p.x > x0 + margin && p.x < x1 - margin && p.y > y0 + margin && p.y < y1 - margin;
    }

    // A polyline loop; flags 1 external, 16 outermost island.
    Groups square(double x0, double y0, double x1, double y1, int flags = 1)
    {
        auto n = [](double v) { return std::to_string(v); };
        return { { 92, std::to_string(flags | 2) }, { 72, "0" }, { 73, "1" }, { 93, "4" }, { 10, n(x0) },
            { 20, n(y0) }, { 10, n(x1) }, { 20, n(y0) }, { 10, n(x1) }, { 20, n(y1) }, { 10, n(x0) },
            { 20, n(y1) }, { 97, "0" } };
    }

    // A hatch of one family of lines at `angle` every `spacing` across them,
    // over a 100-unit square with a hole from 40 to 60; the lines' base is
    // off the boundary's corners so that none runs along an edge.
    Groups patternHatch(double angle, double spacing, const Groups& dashes = {}, int style = 0)
    {
        const double a = angle * std::acos(-1) / 180;
        Groups g { { 0, "HATCH" }, { 2, "LINES" }, { 70, "0" }, { 91, "3" } };
        // The hole holds an island of its own, from 42 to 58.
        for (const Groups& loop :
            { square(0, 0, 100, 100), square(40, 40, 60, 60, 16), square(42, 42, 58, 58, 0) })
            g.insert(g.end(), loop.begin(), loop.end());
        g.insert(g.end(),
            { { 75, std::to_string(style) }, { 76, "1" }, { 78, "1" }, { 53, std::to_string(angle) },
                { 43, "1.3" }, { 44, "0.7" }, { 45, std::to_string(-std::sin(a) * spacing) },
                { 46, std::to_string(std::cos(a) * spacing) }, { 79, std::to_string(dashes.size()) } });
        g.insert(g.end(), dashes.begin(), dashes.end());
        g.push_back({ 98, "0" });
        return g;
    }

    TEST(DxfHatchPattern, LinesStopAtTheBoundaryAndItsHoles)
    {
        for (double angle : { 0.0, 45.0, 90.0, 30.0 }) {
            const Drawing d = drawAt(file(patternHatch(angle, 5)));
            ASSERT_EQ(d.shapes.size(), 1u) << angle;
            const Shape& s = d.shapes[0];
            EXPECT_FALSE(s.filled);
            double drawn = 0;
            for (const Ring& r : s.rings) {
                ASSERT_EQ(r.points.size(), 2u) << "a pattern line, not a boundary";
                const Vec2 m { (r.points[0].x + r.points[1].x) / 2, (r.points[0].y + r.points[1].y) / 2 };
                EXPECT_TRUE(inside(m, -1e-9, -1e-9, 100 + 1e-9, 100 + 1e-9)) << angle;
                EXPECT_FALSE(inside(m, 40, 40, 60, 60) && !inside(m, 42, 42, 58, 58))
                    << angle << ": a line in the hole";
                drawn += length(r);
            }
            // Lines 5 apart over 9 856 units of area (the island's 256 too) draw about 1 971 units.
            EXPECT_NEAR(drawn, 9856.0 / 5, 9856.0 / 5 * 0.05) << angle;
        }
    }

    TEST(DxfHatchPattern, TheStylePicksTheLoops)
    {
        const struct {
            int style;
            double drawn; // area hatched, of the 100 x 100 square
        } cases[] = {
            { 0, 9600 + 256 }, // the island inside the hole is hatched again
            { 1, 9600 }, // outer: the hole stays empty, island and all
            { 2, 10000 }, // ignore: everything inside the external loop
        };
        for (const auto& c : cases) {
            const Drawing d = drawAt(file(patternHatch(30, 2, {}, c.style)));
            ASSERT_EQ(d.shapes.size(), 1u);
            double drawn = 0;
            for (const Ring& r : d.shapes[0].rings)
                drawn += length(r);
            EXPECT_NEAR(drawn, c.drawn / 2, c.drawn / 2 * 0.01) << "style " << c.style;
        }
    }

    TEST(DxfHatchPattern, DashesAndTheDenseCase)
    {
        // On 6, off 4: six tenths of each line is drawn, in pieces at most 6 long.
        const Drawing dashed = drawAt(file(patternHatch(0, 5, { { 49, "6" }, { 49, "-4" } })));
        ASSERT_EQ(dashed.shapes.size(), 1u);
        double drawn = 0;
        for (const Ring& r : dashed.shapes[0].rings) {
            EXPECT_LE(length(r), 6 + 1e-6);
            drawn += length(r);
        }
        EXPECT_NEAR(drawn, 9856.0 / 5 * 0.6, 9856.0 / 5 * 0.6 * 0.08);
        // Lines a tenth of a pixel apart look solid: one filled area with its hole.
        const Drawing dense = drawAt(file(patternHatch(45, 0.05)), 100);
        ASSERT_EQ(dense.shapes.size(), 1u);
        EXPECT_TRUE(dense.shapes[0].filled);
        EXPECT_EQ(dense.shapes[0].rings.size(), 3u);
    }

    const Groups DASHED_TABLES = section("TABLES",
        { { 0, "TABLE" }, { 2, "LTYPE" }, { 0, "LTYPE" }, { 2, "DASHED" }, { 73, "2" }, { 40, "15" },
            { 49, "10" }, { 49, "-5" }, { 0, "ENDTAB" }, { 0, "TABLE" }, { 2, "LAYER" }, { 0, "LAYER" },
            { 2, "D" }, { 62, "7" }, { 6, "DASHED" }, { 0, "ENDTAB" } });

    std::vector<double> pieceLengths(const Drawing& d)
    {
        std::vector<double> out;
        for (const Shape& s : d.shapes)
            for (const Ring& r : s.rings)
                out.push_back(length(r));
        return out;
    }

    TEST(DxfLinetype, DashesFromTheTableScaledAsCadDrawsThem)
    {
        const Groups header = section("HEADER", { { 9, "$LTSCALE" }, { 40, "2" } });
        auto line = [](const Groups& extra) {
            Groups g { { 0, "LINE" }, { 10, "0" }, { 20, "0" }, { 11, "300" }, { 21, "0" } };
            g.insert(g.end(), extra.begin(), extra.end());
            return g;
        };
        const struct {
            const char* name;
            Groups entity;
            std::size_t pieces;
            double longest;
        } cases[] = {
            // $LTSCALE 2: dashes of 20 every 30.
            { "by layer", line({ { 8, "D" } }), 10, 20 },
            { "named", line({ { 6, "DASHED" } }), 10, 20 },
            { "entity scale", line({ { 6, "DASHED" }, { 48, "0.5" } }), 20, 10 },
            { "continuous", line({ { 8, "D" }, { 6, "CONTINUOUS" } }), 1, 300 },
            { "unknown", line({ { 6, "NOSUCH" } }), 1, 300 },
        };
        for (const auto& c : cases) {
            const auto pieces = pieceLengths(drawAt(file(c.entity, join({ header, DASHED_TABLES })), 600));
            EXPECT_EQ(pieces.size(), c.pieces) << c.name;
            EXPECT_NEAR(*std::max_element(pieces.begin(), pieces.end()), c.longest, 1e-6) << c.name;
        }
    }

    TEST(DxfLinetype, ByBlockTakesTheReferenceAndScalesWithIt)
    {
        const Groups blocks = section("BLOCKS",
            { { 0, "BLOCK" }, { 2, "B" }, { 10, "0" }, { 20, "0" }, { 0, "LINE" }, { 6, "BYBLOCK" },
                { 10, "0" }, { 20, "0" }, { 11, "150" }, { 21, "0" }, { 0, "ENDBLK" } });
        const Groups insert { { 0, "INSERT" }, { 2, "B" }, { 6, "DASHED" }, { 10, "0" }, { 20, "0" },
            { 41, "2" }, { 42, "2" } };
        const auto pieces = pieceLengths(drawAt(file(insert, join({ DASHED_TABLES, blocks })), 600));
        // 150 units of block at scale 2: 300 on the drawing, dashes of 20 every 30.
        EXPECT_EQ(pieces.size(), 10u);
        EXPECT_NEAR(*std::max_element(pieces.begin(), pieces.end()), 20, 1e-6);
    }

    TEST(DxfWidths, PolylineWidthsAreAreas)
    {
        const struct {
            const char* name;
            Groups entity;
            bool filled;
            double minY, maxY, heightAtEnd;
        } cases[] = {
            { "constant",
                { { 0, "LWPOLYLINE" }, { 43, "10" }, { 10, "0" }, { 20, "0" }, { 10, "100" }, { 20, "0" } },
                true, -5, 5, 10 },
            { "tapered",
                { { 0, "LWPOLYLINE" }, { 10, "0" }, { 20, "0" }, { 40, "10" }, { 41, "0" }, { 10, "100" },
                    { 20, "0" } },
                true, -5, 5, 0 },
            { "old polyline defaults",
                { { 0, "POLYLINE" }, { 66, "1" }, { 40, "4" }, { 41, "4" }, { 0, "VERTEX" }, { 10, "0" },
                    { 20, "0" }, { 0, "VERTEX" }, { 10, "100" }, { 20, "0" }, { 0, "SEQEND" } },
                true, -2, 2, 4 },
            // Under a pixel wide (100 units on 100 pixels): a line.
            { "hairline",
                { { 0, "LWPOLYLINE" }, { 43, "0.5" }, { 10, "0" }, { 20, "0" }, { 10, "100" }, { 20, "0" } },
                false, 0, 0, 0 },
        };
        for (const auto& c : cases) {
            const Drawing d = drawAt(file(c.entity), 100);
            ASSERT_EQ(d.shapes.size(), 1u) << c.name;
            EXPECT_EQ(d.shapes[0].filled, c.filled) << c.name;
            const Extents e = d.extents();
            EXPECT_NEAR(e.minY, c.minY, 1e-6) << c.name;
            EXPECT_NEAR(e.maxY, c.maxY, 1e-6) << c.name;
            if (!c.filled) continue;
            // The band's height where it ends, from its points at x = 100.
            double lo = 1e9, hi = -1e9;
            for (const Ring& r : d.shapes[0].rings)
                for (Vec2 p : r.points)
                    if (std::fabs(p.x - 100) < 1e-6) {
                        lo = std::min(lo, p.y);
                        hi = std::max(hi, p.y);
                    }
            EXPECT_NEAR(hi - lo, c.heightAtEnd, 1e-6) << c.name;
        }
    }

    TEST(DxfWidths, CornersAreNotNotched)
    {
        // An L of width 10: the outer corner (5 beyond both legs) is covered.
        const Drawing d = drawAt(file({ { 0, "LWPOLYLINE" }, { 43, "10" }, { 10, "0" }, { 20, "0" },
                                     { 10, "100" }, { 20, "0" }, { 10, "100" }, { 20, "100" } }),
            100);
        ASSERT_EQ(d.shapes.size(), 1u);
        const Extents e = d.extents();
        EXPECT_NEAR(e.maxX, 105, 1e-6);
        EXPECT_NEAR(e.minY, -5, 1e-6);
        bool corner = false;
        for (const Ring& r : d.shapes[0].rings)
            for (Vec2 p : r.points)
                corner = corner || (std::fabs(p.x - 105) < 1e-6 && std::fabs(p.y + 5) < 1e-6);
        EXPECT_TRUE(corner);
    }

    TEST(DxfEntities, NewTypesDrawnAsCadShowsThem)
    {
        const struct {
            const char* name;
            Groups entity;
            std::size_t lines, fills;
        } cases[] = {
            { "leader with arrow",
                { { 0, "LEADER" }, { 10, "0" }, { 20, "0" }, { 10, "40" }, { 20, "30" }, { 10, "80" },
                    { 20, "30" } },
                1, 1 },
            { "leader without",
                { { 0, "LEADER" }, { 71, "0" }, { 10, "0" }, { 20, "0" }, { 10, "40" }, { 20, "30" } }, 1,
                0 },
            { "multiline",
                { { 0, "MLINE" }, { 40, "6" }, { 71, "1" }, { 73, "2" }, { 11, "0" }, { 21, "0" },
                    { 13, "0" }, { 23, "1" }, { 74, "1" }, { 41, "3" }, { 74, "1" }, { 41, "-3" },
                    { 11, "80" }, { 21, "0" }, { 13, "0" }, { 23, "1" }, { 74, "1" }, { 41, "3" },
                    { 74, "1" }, { 41, "-3" } },
                2, 0 },
            { "image frame",
                { { 0, "IMAGE" }, { 10, "0" }, { 20, "0" }, { 11, "1" }, { 21, "0" }, { 12, "0" },
                    { 22, "1" }, { 13, "64" }, { 23, "32" } },
                1, 0 },
            { "wipeout",
                { { 0, "WIPEOUT" }, { 10, "0" }, { 20, "0" }, { 11, "30" }, { 21, "0" }, { 12, "0" },
                    { 22, "30" }, { 13, "1" }, { 23, "1" }, { 280, "1" }, { 71, "2" }, { 14, "-0.5" },
                    { 24, "0.5" }, { 14, "0.5" }, { 24, "0.5" }, { 14, "0.5" }, { 24, "-0.5" } },
                0, 1 },
            // A square pyramid: four faces, eight edges once each.
            { "mesh",
                { { 0, "MESH" }, { 92, "5" }, { 10, "0" }, { 20, "0" }, { 30, "0" }, { 10, "50" },
                    { 20, "0" }, { 30, "0" }, { 10, "50" }, { 20, "50" }, { 30, "0" }, { 10, "0" },
                    { 20, "50" }, { 30, "0" }, { 10, "25" }, { 20, "25" }, { 30, "40" }, { 93, "16" },
                    { 90, "3" }, { 90, "0" }, { 90, "1" }, { 90, "4" }, { 90, "3" }, { 90, "1" }, { 90, "2" },
                    { 90, "4" }, { 90, "3" }, { 90, "2" }, { 90, "3" }, { 90, "4" }, { 90, "3" }, { 90, "3" },
                    { 90, "0" }, { 90, "4" } },
                8, 0 },
        };
        for (const auto& c : cases) {
            const Drawing d = drawAt(file(c.entity));
            std::size_t lines = 0, fills = 0;
            for (const Shape& s : d.shapes)
                (s.filled ? fills : lines) += 1;
            EXPECT_EQ(lines, c.lines) << c.name;
            EXPECT_EQ(fills, c.fills) << c.name;
            EXPECT_TRUE(d.warnings.empty()) << c.name << ": " << d.warnings[0];
        }
    }

    TEST(DxfEntities, NewerTypesThroughTheirSpeltOutData)
    {
        const Groups blocks = section("BLOCKS",
            { { 0, "BLOCK" }, { 2, "*D1" }, { 10, "0" }, { 20, "0" }, { 0, "LINE" }, { 10, "0" }, { 20, "0" },
                { 11, "10" }, { 21, "10" }, { 0, "ENDBLK" } });
        const struct {
            const char* name;
            Groups entity;
        } cases[] = {
            { "arc dimension", { { 0, "ARC_DIMENSION" }, { 2, "*D1" }, { 10, "5" }, { 20, "5" } } },
            { "large radial dimension", { { 0, "LARGE_RADIAL_DIMENSION" }, { 2, "*D1" } } },
            { "helix",
                { { 0, "HELIX" }, { 71, "3" }, { 10, "0" }, { 20, "0" }, { 10, "5" }, { 20, "10" },
                    { 10, "10" }, { 20, "0" }, { 10, "15" }, { 20, "10" } } },
        };
        for (const auto& c : cases) {
            const Drawing d = drawAt(file(c.entity, blocks));
            EXPECT_EQ(d.shapes.size(), 1u) << c.name;
            EXPECT_TRUE(d.warnings.empty()) << c.name << ": " << d.warnings[0];
        }
    }

    TEST(DxfEntities, FramesAndMasksSitWhereTheirVectorsPutThem)
    {
        const Drawing image = drawAt(file({ { 0, "IMAGE" }, { 10, "10" }, { 20, "20" }, { 11, "0.5" },
            { 21, "0" }, { 12, "0" }, { 22, "0.5" }, { 13, "64" }, { 23, "32" } }));
        ASSERT_EQ(image.shapes.size(), 1u);
        EXPECT_TRUE(image.shapes[0].rings[0].closed);
        const Extents e = image.extents();
        EXPECT_NEAR(e.minX, 10, 1e-9);
        EXPECT_NEAR(e.maxX, 42, 1e-9);
        EXPECT_NEAR(e.minY, 20, 1e-9);
        EXPECT_NEAR(e.maxY, 36, 1e-9);
        const Drawing wipeout = drawAt(file({ { 0, "LINE" }, { 10, "0" }, { 20, "0" }, { 11, "100" },
            { 21, "100" }, { 0, "WIPEOUT" }, { 10, "10" }, { 20, "10" }, { 11, "30" }, { 21, "0" },
            { 12, "0" }, { 22, "30" }, { 13, "1" }, { 23, "1" } }));
        ASSERT_EQ(wipeout.shapes.size(), 2u);
        // Drawn after the line, in the screen's colour, over 10..40.
        EXPECT_TRUE(wipeout.shapes[1].filled);
        EXPECT_EQ(wipeout.shapes[1].colour, 0);
        Extents w;
        for (Vec2 p : wipeout.shapes[1].rings[0].points)
            w.add(p);
        EXPECT_NEAR(w.minX, 10, 1e-9);
        EXPECT_NEAR(w.maxY, 40, 1e-9);
    }

    TEST(DxfEntities, ConstructionLinesSpanTheRestOfTheDrawing)
    {
        const Groups frame { { 0, "LINE" }, { 10, "0" }, { 20, "0" }, { 11, "100" }, { 21, "50" } };
        const struct {
            const char* name;
            const char* type;
            Vec2 from, to;
        } cases[] = {
            { "xline", "XLINE", { 0, 25 }, { 100, 25 } },
            { "ray", "RAY", { 50, 25 }, { 100, 25 } },
        };
        for (const auto& c : cases) {
            Groups g = frame;
            g.insert(g.end(), { { 0, c.type }, { 10, "50" }, { 20, "25" }, { 11, "1" }, { 21, "0" } });
            const Drawing d = drawAt(file(g));
            ASSERT_EQ(d.shapes.size(), 2u) << c.name;
            const auto& pts = d.shapes[1].rings[0].points;
            ASSERT_EQ(pts.size(), 2u);
            EXPECT_NEAR(std::min(pts[0].x, pts[1].x), c.from.x, 1e-6) << c.name;
            EXPECT_NEAR(std::max(pts[0].x, pts[1].x), c.to.x, 1e-6) << c.name;
            EXPECT_NEAR(pts[0].y, 25, 1e-9) << c.name;
            const Extents e = d.extents();
            EXPECT_NEAR(e.maxX - e.minX, 100, 1e-6) << c.name << ": the extents stay the drawing's";
        }
    }

    TEST(DxfSpline, FitPointsAloneGiveACurveThroughThem)
    {
        const Groups spline { { 0, "SPLINE" }, { 70, "8" }, { 71, "3" }, { 74, "5" }, { 11, "0" },
            { 21, "0" }, { 11, "25" }, { 21, "60" }, { 11, "50" }, { 21, "10" }, { 11, "75" }, { 21, "70" },
            { 11, "100" }, { 21, "20" } };
        const Drawing d = drawAt(file(spline), 400);
        ASSERT_EQ(d.shapes.size(), 1u);
        const auto& pts = d.shapes[0].rings[0].points;
        EXPECT_GT(pts.size(), 20u) << "a curve, not the five fit points joined";
        for (Vec2 fit : std::vector<Vec2> { { 0, 0 }, { 25, 60 }, { 50, 10 }, { 75, 70 }, { 100, 20 } }) {
            double nearest = 1e9;
            for (Vec2 p : pts)
                nearest = std::min(nearest, std::hypot(p.x - fit.x, p.y - fit.y));
            EXPECT_LT(nearest, 0.5) << fit.x;
        }
        // Between fit points the curve swings beyond the straight chords.
        const Extents e = d.extents();
        EXPECT_GT(e.maxY, 70.1);
    }

    TEST(DxfLeftOut, InvisibleEntitiesAndDefinitionsInBlocks)
    {
        const Groups blocks = section("BLOCKS",
            { { 0, "BLOCK" }, { 2, "B" }, { 10, "0" }, { 20, "0" }, { 0, "ATTDEF" }, { 10, "0" }, { 20, "0" },
                { 40, "5" }, { 1, "" }, { 2, "TAG" }, { 0, "ENDBLK" } });
        const Groups circle { { 0, "CIRCLE" }, { 10, "0" }, { 20, "0" }, { 40, "10" } };
        Groups hidden = circle;
        hidden.push_back({ 60, "1" });
        Groups shown = circle;
        shown.push_back({ 60, "0" });
        EXPECT_EQ(drawAt(file(join({ circle, hidden }))).shapes.size(), 1u);
        EXPECT_EQ(drawAt(file(join({ circle, shown }))).shapes.size(), 2u);
        // The block's definition stays hidden in its references.
        const Drawing ref = drawAt(
            file(join({ circle, { { 0, "INSERT" }, { 2, "B" }, { 10, "0" }, { 20, "0" } } }), blocks));
        EXPECT_EQ(ref.shapes.size(), 1u);
    }

    TEST(DxfLeftOut, ModelSpaceDefinitionsShowTheirTag)
    {
        const Drawing d = drawAt(file({ { 0, "ATTDEF" }, { 10, "0" }, { 20, "0" }, { 40, "5" },
            { 1, "default" }, { 3, "prompt" }, { 2, "TAG" } }));
        if (!d.warnings.empty()) GTEST_SKIP() << d.warnings[0];
        ASSERT_EQ(d.shapes.size(), 1u);
        const Extents e = d.extents();
        EXPECT_NEAR(e.maxY, 5, 0.3);
        EXPECT_GT(e.maxX, 5);
        EXPECT_LT(e.maxX, 20) << "the tag, not the seven-letter default";
    }

    TEST(DxfLeftOut, EmptySectionsAreABlankDrawing)
    {
        const std::string empty
            = dxf(join({ section("HEADER", {}), section("ENTITIES", {}), { { 0, "EOF" } } }));
        const OpenResult r = readDxf(empty, "e.dxf", {});
        ASSERT_TRUE(r.source) << r.error;
        Drawing d;
        std::string error;
        ASSERT_TRUE(r.source->draw(gridFor(r.source->extents(), 100), d, error)) << error;
        EXPECT_TRUE(d.shapes.empty());
    }

} // namespace
} // namespace qorvan::import
