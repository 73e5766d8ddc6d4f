// The DXF a slide is written as, read back group by group by a reader of
// the test's own: every record kind, every colour, fills of each shape, the
// header's limits and the layer table.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "slide/dxf_writer.h"
#include "tests/slide/slide_builder.h"

namespace qorvan::slide {
namespace {

    using testing::SlideBytes;

    struct Group {
        int code;
        std::string value;
    };

    struct Entity {
        std::string type;
        std::map<int, std::string> groups; // first value of each code
    };

    struct ReadDxf {
        std::vector<Group> groups;
        std::map<std::string, std::vector<double>> header; // variable -> 10, 20 values
        std::map<std::string, int> layers; // name -> colour
        std::vector<Entity> entities;
        bool wellFormed = false; // pairs of lines, CRLF, ending in 0/EOF
    };

    ReadDxf readDxf(const std::string& text)
    {
        ReadDxf d;
        std::vector<std::string> lines;
        std::size_t at = 0;
        bool crlf = true;
        while (at < text.size()) {
            std::size_t nl = text.find('\n', at);
            if (nl == std::string::npos) return d;
            std::string line = text.substr(at, nl - at);
            if (line.empty() || line.back() != '\r')
                crlf = false;
            else
                line.pop_back();
            lines.push_back(line);
            at = nl + 1;
        }
        if (!crlf || lines.size() % 2) return d;
        for (std::size_t i = 0; i < lines.size(); i += 2)
            d.groups.push_back({ std::stoi(lines[i]), lines[i + 1] });
        std::string section, variable;
        Entity* current = nullptr;
        std::string table;
        for (std::size_t i = 0; i < d.groups.size(); ++i) {
            const Group& g = d.groups[i];
            if (g.code == 0) {
                current = nullptr;
                if (g.value == "SECTION") section = d.groups.at(i + 1).value;
                if (g.value == "ENDSEC") section.clear();
                if (section == "ENTITIES" && g.value != "SECTION" && g.value != "ENDSEC") {
                    d.entities.push_back({ g.value, {} });
                    current = &d.entities.back();
                }
                if (g.value == "LAYER") {
                    std::string name;
                    int colour = 0;
                    for (std::size_t k = i + 1; k < d.groups.size() && d.groups[k].code != 0; ++k) {
                        if (d.groups[k].code == 2) name = d.groups[k].value;
                        if (d.groups[k].code == 62) colour = std::stoi(d.groups[k].value);
                    }
                    d.layers[name] = colour;
                }
                continue;
            }
            if (section == "HEADER") {
                if (g.code == 9)
                    variable = g.value;
                else if (g.code >= 10 && g.code < 40)
                    d.header[variable].push_back(std::stod(g.value));
            }
            if (current && !current->groups.count(g.code)) current->groups[g.code] = g.value;
        }
        d.wellFormed = !d.groups.empty() && d.groups.back().code == 0 && d.groups.back().value == "EOF";
        return d;
    }

    std::string dxfOf(const SlideBytes& s, DxfResult* result = nullptr)
    {
        std::string out;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(s.b.data());
        DxfResult r = writeSlideDxf(bytes, s.b.size(), [&](const char* data, std::size_t size) {
            out.append(data, size);
            return true;
        });
        EXPECT_TRUE(r.written);
        if (result) *result = r;
        return out;
    }

    double at(const Entity& e, int code)
    {
        auto it = e.groups.find(code);
        return it == e.groups.end() ? NAN : std::stod(it->second);
    }

    // An entity as its type, layer and corner coordinates 10/20 .. 13/23.
    struct Want {
        std::string type;
        std::string layer;
        std::vector<double> xy;
    };

    struct Case {
        const char* name;
        SlideBytes slide;
        std::vector<Want> entities;
        std::map<std::string, int> layers; // beside layer 0
        friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
    };

    class DxfOut : public ::testing::TestWithParam<Case> { };

    TEST_P(DxfOut, EveryEntityAsTheRendererDrawsIt)
    {
        const Case& c = GetParam();
        const ReadDxf d = readDxf(dxfOf(c.slide));
        ASSERT_TRUE(d.wellFormed);
        ASSERT_EQ(d.entities.size(), c.entities.size());
        for (std::size_t i = 0; i < c.entities.size(); ++i) {
            const Entity& e = d.entities[i];
            const Want& w = c.entities[i];
            SCOPED_TRACE("entity " + std::to_string(i));
            EXPECT_EQ(e.type, w.type);
            EXPECT_EQ(e.groups.at(8), w.layer);
            // Colour comes from the layer, never from the entity.
            EXPECT_EQ(e.groups.count(62), 0u);
            const int corners = w.type == "LINE" ? 2 : 4;
            ASSERT_EQ(w.xy.size(), static_cast<std::size_t>(2 * corners));
            for (int k = 0; k < corners; ++k) {
                EXPECT_EQ(at(e, 10 + k), w.xy[2 * k]) << "x of corner " << k;
                EXPECT_EQ(at(e, 20 + k), w.xy[2 * k + 1]) << "y of corner " << k;
                EXPECT_EQ(at(e, 30 + k), 0) << "z of corner " << k;
            }
        }
        std::map<std::string, int> layers = c.layers;
        layers["0"] = 7;
        EXPECT_EQ(d.layers, layers);
    }

    SlideBytes area(int x = 200, int y = 100)
    {
        return SlideBytes::newForm(x, y, 2);
    }

    INSTANTIATE_TEST_SUITE_P(Records, DxfOut,
        ::testing::Values(
            // Lines before any colour record draw in colour 7.
            Case { "vector", area().vector(10, 20, 30, 40).end(), { { "LINE", "WHITE", { 10, 20, 30, 40 } } },
                { { "WHITE", 7 } } },
            Case { "dot", area().vector(5, 6, 5, 6).end(), { { "LINE", "WHITE", { 5, 6, 5, 6 } } },
                { { "WHITE", 7 } } },
            // Offsets start from the last vector's from point.
            Case { "offset_vector", area().vector(100, 50, 0, 0).offsetVector(-3, 4, 10, -20).end(),
                { { "LINE", "WHITE", { 100, 50, 0, 0 } }, { "LINE", "WHITE", { 97, 54, 110, 30 } } },
                { { "WHITE", 7 } } },
            Case { "common_endpoint",
                area().vector(100, 50, 0, 0).commonEndpoint(5, -5).commonEndpoint(-1, 2).end(),
                { { "LINE", "WHITE", { 100, 50, 0, 0 } }, { "LINE", "WHITE", { 105, 45, 100, 50 } },
                    { "LINE", "WHITE", { 104, 47, 105, 45 } } },
                { { "WHITE", 7 } } },
            // The renderer's clamp and fold: a from point below -1 becomes 0, a
            // to point beyond the extent plus one folds back from 0xFFFF.
            Case { "clamp_and_fold",
                area().vector(10, 7, 0xFFFF, 0xFFFE).vector(1, 1, 0, 0).offsetVector(-3, -1, 0, 0).end(),
                { { "LINE", "WHITE", { 10, 7, 0, 1 } }, { "LINE", "WHITE", { 1, 1, 0, 0 } },
                    { "LINE", "WHITE", { 0, 0, 1, 1 } } },
                { { "WHITE", 7 } } },
            Case { "colours",
                area()
                    .color(1)
                    .vector(1, 1, 2, 2)
                    .color(8)
                    .vector(3, 3, 4, 4)
                    .color(255)
                    .vector(5, 5, 6, 6)
                    .color(7)
                    .vector(7, 7, 8, 8)
                    .end(),
                { { "LINE", "RED", { 1, 1, 2, 2 } }, { "LINE", "COLOUR_8", { 3, 3, 4, 4 } },
                    { "LINE", "COLOUR_255", { 5, 5, 6, 6 } }, { "LINE", "WHITE", { 7, 7, 8, 8 } } },
                { { "RED", 1 }, { "COLOUR_8", 8 }, { "COLOUR_255", 255 }, { "WHITE", 7 } } },
            // Colour 0 draws in the background's colour: its layer is off.
            Case { "background_colour", area().color(0).vector(1, 2, 3, 4).end(),
                { { "LINE", "BLACK", { 1, 2, 3, 4 } } }, { { "BLACK", -7 } } },
            Case { "colour_without_lines", area().color(3).color(4).end(), {}, {} },
            // SOLID keeps its corners first, second, fourth, third.
            Case { "triangle", area().color(2).fill({ { 10, 10 }, { 50, 10 }, { 30, 40 } }).end(),
                { { "SOLID", "YELLOW", { 10, 10, 50, 10, 30, 40, 30, 40 } } }, { { "YELLOW", 2 } } },
            Case { "quadrilateral",
                area().color(3).fill({ { 10, 10 }, { 50, 10 }, { 50, 40 }, { 10, 40 } }).end(),
                { { "SOLID", "GREEN", { 10, 10, 50, 10, 10, 40, 50, 40 } } }, { { "GREEN", 3 } } },
            Case { "two_corners", area().color(5).fill({ { 10, 10 }, { 50, 20 } }).end(),
                { { "SOLID", "BLUE", { 10, 10, 50, 20, 50, 20, 50, 20 } } }, { { "BLUE", 5 } } },
            Case { "one_corner", area().color(5).fill({ { 10, 10 } }).end(), {}, {} },
            // Vertices fold against the extent itself.
            Case { "folded_vertex", area().color(6).fill({ { 10, 10 }, { 0xFFFF, 10 }, { 30, 40 } }).end(),
                { { "SOLID", "MAGENTA", { 10, 10, 0, 10, 30, 40, 30, 40 } } }, { { "MAGENTA", 6 } } },
            // A convex hexagon: a fan of quadrilaterals from its first corner.
            Case { "hexagon",
                area()
                    .color(4)
                    .fill({ { 20, 0 }, { 40, 0 }, { 50, 20 }, { 40, 40 }, { 20, 40 }, { 10, 20 } })
                    .end(),
                { { "SOLID", "CYAN", { 20, 0, 40, 0, 40, 40, 50, 20 } },
                    { "SOLID", "CYAN", { 20, 0, 40, 40, 10, 20, 20, 40 } } },
                { { "CYAN", 4 } } },
            Case { "pentagon",
                area().color(4).fill({ { 20, 0 }, { 40, 0 }, { 50, 20 }, { 30, 40 }, { 10, 20 } }).end(),
                { { "SOLID", "CYAN", { 20, 0, 40, 0, 30, 40, 50, 20 } },
                    { "SOLID", "CYAN", { 20, 0, 30, 40, 10, 20, 10, 20 } } },
                { { "CYAN", 4 } } }),
        [](const auto& p) { return std::string(p.param.name); });

    double shoelace(const std::vector<double>& xy)
    {
        double a = 0;
        const std::size_t n = xy.size() / 2;
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t j = (i + 1) % n;
            a += xy[2 * i] * xy[2 * j + 1] - xy[2 * j] * xy[2 * i + 1];
        }
        return std::fabs(a) / 2;
    }

    TEST(DxfOut, ConcaveFillIsCoveredBySolidsOfItsArea)
    {
        // An L: its SOLIDs must not spill into the notch and must cover it all.
        const std::vector<std::pair<unsigned, unsigned>> l { { 0, 0 }, { 60, 0 }, { 60, 20 }, { 20, 20 },
            { 20, 50 }, { 0, 50 } };
        const ReadDxf d = readDxf(dxfOf(area().fill(l).end()));
        ASSERT_TRUE(d.wellFormed);
        ASSERT_FALSE(d.entities.empty());
        double total = 0;
        for (const Entity& e : d.entities) {
            ASSERT_EQ(e.type, "SOLID");
            // Back in drawing order: first, second, fourth, third.
            const std::vector<double> ring { at(e, 10), at(e, 20), at(e, 11), at(e, 21), at(e, 13), at(e, 23),
                at(e, 12), at(e, 22) };
            for (std::size_t k = 0; k < 8; k += 2) {
                const double x = ring[k], y = ring[k + 1];
                EXPECT_TRUE(x >= 0 && x <= 60 && y >= 0 && y <= 50 && !(x > 20 && y > 20))
                    << "corner (" << x << ", " << y << ") outside the L";
            }
            total += shoelace(ring);
        }
        EXPECT_DOUBLE_EQ(total, 60 * 20 + 20 * 30);
    }

    TEST(DxfOut, HeaderGivesTheSlideAreaAsLimitsAndTheDrawingAsExtents)
    {
        DxfResult r;
        const ReadDxf d = readDxf(dxfOf(
            area(640, 700).vector(10, 20, 300, 400).fill({ { 5, 600 }, { 6, 7 }, { 8, 9 } }).end(), &r));
        EXPECT_EQ(r.header, Ok);
        ASSERT_TRUE(d.wellFormed);
        EXPECT_EQ(d.groups.at(3).value, "AC1009"); // $ACADVER first: readers pick the version from it
        EXPECT_EQ(d.header.at("$LIMMIN"), (std::vector<double> { 0, 0, 0 }));
        EXPECT_EQ(d.header.at("$LIMMAX"), (std::vector<double> { 640, 700, 0 }));
        EXPECT_EQ(d.header.at("$EXTMIN"), (std::vector<double> { 5, 7, 0 }));
        EXPECT_EQ(d.header.at("$EXTMAX"), (std::vector<double> { 300, 600, 0 }));
        const ReadDxf blank = readDxf(dxfOf(area(640, 479).end()));
        EXPECT_EQ(blank.header.at("$EXTMAX"), (std::vector<double> { 640, 479, 0 }));
        EXPECT_TRUE(blank.entities.empty());
    }

    TEST(DxfOut, HeaderFaultIsReportedAndTheRecordsStillWritten)
    {
        SlideBytes s = SlideBytes::newForm(100, 100, 2, 0x4321).vector(1, 2, 3, 4).end();
        DxfResult r;
        const ReadDxf d = readDxf(dxfOf(s, &r));
        EXPECT_EQ(r.header, InvalidSlide);
        EXPECT_EQ(d.entities.size(), 1u);
    }

    TEST(DxfOut, SinkThatRefusesIsReported)
    {
        SlideBytes s = area();
        for (int i = 0; i < 5000; ++i)
            s.vector(static_cast<unsigned>(i % 200), 1, 2, 3);
        s.end();
        int calls = 0;
        std::size_t total = 0;
        const DxfResult r = writeSlideDxf(reinterpret_cast<const std::uint8_t*>(s.b.data()), s.b.size(),
            [&](const char*, std::size_t size) {
                total += size;
                return ++calls < 2;
            });
        EXPECT_FALSE(r.written);
        // Streamed: pieces of about the stream's size, not one large block,
        // and nothing handed on after the refusal.
        EXPECT_EQ(calls, 2);
        EXPECT_LT(total, 3 * DXF_STREAM_PIECE);
    }

} // namespace
} // namespace qorvan::slide
