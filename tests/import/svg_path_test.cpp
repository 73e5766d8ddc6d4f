// The path data parser: every command in both cases, the implicit repeats,
// the number forms the grammar allows, arcs, and faults with their offsets.
#include <gtest/gtest.h>

#include <cmath>

#include "import/svg_path.h"

namespace qorvan::import::svg {
namespace {

    using Kind = PathCommand::Kind;

    // The commands in a compact form: kind letter and the end point.
    std::string outline(const std::vector<PathCommand>& cmds)
    {
        std::string s;
        char buf[64];
        for (const PathCommand& c : cmds) {
            const Vec2 end = c.kind == Kind::Cubic ? c.p[2] : c.p[0];
            const char k = "MLCZ"[c.kind];
            std::snprintf(buf, sizeof buf, "%s%c%g,%g", s.empty() ? "" : " ", k, end.x, end.y);
            s += buf;
        }
        return s;
    }

    std::vector<PathCommand> parse(std::string_view d, PathError* error = nullptr)
    {
        std::vector<PathCommand> out;
        const PathError e = parsePathData(d, out, 1000);
        if (error)
            *error = e;
        else
            EXPECT_TRUE(e.ok()) << d << ": " << e.reason << " at " << e.offset;
        return out;
    }

    TEST(PathData, CommandsAndRepeats)
    {
        struct Case {
            const char* d;
            const char* want;
        } cases[] = {
            { "", "" },
            { "M1 2", "M1,2" },
            { "M1 2 L3 4 H10 V20 Z", "M1,2 L3,4 L10,4 L10,20 Z1,2" },
            { "m1 2 l3 4 h10 v20 z", "M1,2 L4,6 L14,6 L14,26 Z1,2" },
            // Pairs after a move are lines of the same case.
            { "M0 0 10 10 20 0", "M0,0 L10,10 L20,0" },
            { "m1 1 2 2 3 3", "M1,1 L3,3 L6,6" },
            { "M0 0 L1 1 2 2 h1 2 v1 2", "M0,0 L1,1 L2,2 L3,2 L5,2 L5,3 L5,5" },
            // A command after a close starts again at the subpath's start.
            { "M5 5 L6 6 Z l1 1", "M5,5 L6,6 Z5,5 M5,5 L6,6" },
            { "M0 0 C1 1 2 2 3 3 S5 5 6 6", "M0,0 C3,3 C6,6" },
            { "m1 1 c1 1 2 2 3 3 s1 1 2 2", "M1,1 C4,4 C6,6" },
            { "M0 0 Q1 1 2 0 T4 0", "M0,0 C2,0 C4,0" },
            { "m0 0 q1 1 2 0 t2 0", "M0,0 C2,0 C4,0" },
            { "M0 0 A5 5 0 0 1 10 0", "M0,0 C5,-5 C10,0" },
            { "m10 0 a5 5 0 0 0 -10 0", "M10,0 C5,-5 C0,0" },
            // Number forms: signs and points as separators, exponents, commas.
            { "M.5.5", "M0.5,0.5" },
            { "M1e1-2", "M10,-2" },
            { "M-1-2L+3,+4", "M-1,-2 L3,4" },
            { "M 1 , 2 L 3 4", "M1,2 L3,4" },
            { "M1E-1 2.5e+1", "M0.1,25" },
            // Arc flags need no separator.
            { "M0 0a5 5 0 0110 0", "M0,0 C5,-5 C10,0" },
        };
        for (const Case& c : cases) {
            std::vector<PathCommand> cmds = parse(c.d);
            // Arcs become several cubics; compare only where the outline is
            // written out above.
            std::string got = outline(cmds);
            EXPECT_EQ(got, c.want) << c.d;
        }
    }

    TEST(PathData, SmoothCurvesReflectTheLastControl)
    {
        // S after C mirrors C's second control about the current point.
        auto cmds = parse("M0 0 C0 10 10 10 10 0 S20 -10 20 0");
        ASSERT_EQ(cmds.size(), 3u);
        EXPECT_DOUBLE_EQ(cmds[2].p[0].x, 10);
        EXPECT_DOUBLE_EQ(cmds[2].p[0].y, -10);
        // S after a line starts with the current point as its first control.
        cmds = parse("M0 0 L5 5 S20 -10 20 0");
        EXPECT_DOUBLE_EQ(cmds[2].p[0].x, 5);
        EXPECT_DOUBLE_EQ(cmds[2].p[0].y, 5);
        // T after Q mirrors Q's control; the cubic's controls are the raised
        // quadratic's, two thirds towards it.
        cmds = parse("M0 0 Q3 3 6 0 T12 0");
        ASSERT_EQ(cmds.size(), 3u);
        EXPECT_DOUBLE_EQ(cmds[2].p[0].x, 6 + 2.0 / 3 * 3);
        EXPECT_DOUBLE_EQ(cmds[2].p[0].y, -2);
        EXPECT_DOUBLE_EQ(cmds[1].p[0].x, 2);
        EXPECT_DOUBLE_EQ(cmds[1].p[0].y, 2);
    }

    // The cubic's point at t.
    Vec2 at(Vec2 p0, const PathCommand& c, double t)
    {
        const double u = 1 - t;
        return { u * u * u * p0.x + 3 * u * u * t * c.p[0].x + 3 * u * t * t * c.p[1].x
                + t * t * t * c.p[2].x,
            u * u * u * p0.y + 3 * u * u * t * c.p[0].y + 3 * u * t * t * c.p[1].y + t * t * t * c.p[2].y };
    }

    TEST(PathData, ArcsStayOnTheirEllipse)
    {
        struct Case {
            const char* d;
            double cx, cy, rx, ry; // the ellipse the arc must follow (axes unrotated)
            std::size_t pieces;
        } cases[] = {
            { "M10 0 A10 10 0 0 1 0 10", 0, 0, 10, 10, 1 }, // quarter circle
            { "M10 0 A10 10 0 1 1 0 -10", 0, 0, 10, 10, 3 }, // three quarters
            { "M20 0 A20 10 0 0 1 -20 0", 0, 0, 20, 10, 2 }, // half ellipse
            { "M0 0 A1 1 0 0 1 10 0", 5, 0, 5, 5, 2 }, // radii too small: scaled up to a half circle
            { "M10 0 a10 10 0 1 0 0 0.001", 0, 0.0005, 10, 10, 4 }, // nearly a full circle
        };
        for (const Case& c : cases) {
            const auto cmds = parse(c.d);
            ASSERT_EQ(cmds.size(), 1 + c.pieces) << c.d;
            Vec2 p0 = cmds[0].p[0];
            double worst = 0;
            for (std::size_t i = 1; i < cmds.size(); ++i) {
                ASSERT_EQ(cmds[i].kind, Kind::Cubic);
                for (double t = 0; t <= 1; t += 0.125) {
                    const Vec2 p = at(p0, cmds[i], t);
                    const double e = std::hypot((p.x - c.cx) / c.rx, (p.y - c.cy) / c.ry) - 1;
                    worst = std::max(worst, std::fabs(e));
                }
                p0 = cmds[i].p[2];
            }
            EXPECT_LT(worst, 1e-3) << c.d; // a quarter-turn cubic strays by 2.7e-4 of the radius
        }
        // The large-arc and sweep flags pick one of four arcs: the sweep flag
        // says which way round, so the midpoints lie on opposite sides.
        const auto cw = parse("M0 0 A10 10 0 0 1 10 0");
        const auto ccw = parse("M0 0 A10 10 0 0 0 10 0");
        EXPECT_LT(at({ 0, 0 }, cw[1], 0.5).y, 0);
        EXPECT_GT(at({ 0, 0 }, ccw[1], 0.5).y, 0);
        // Degenerate arcs: zero radius is a line, no move is nothing.
        EXPECT_EQ(outline(parse("M0 0 A0 5 0 0 1 10 0")), "M0,0 L10,0");
        EXPECT_EQ(outline(parse("M3 3 A5 5 0 0 1 3 3")), "M3,3");
    }

    TEST(PathData, FaultsKeepWhatCameBeforeAndSayWhere)
    {
        struct Case {
            const char* d;
            std::size_t offset;
            const char* reason; // a word the reason must contain
            const char* kept;
        } cases[] = {
            { "L1 2", 0, "move", "" },
            { "  x", 2, "move", "" },
            { "M1", 2, "number", "" },
            { "M1 2 X3", 5, "command", "M1,2" },
            { "M1 2 L3 4 L", 11, "number", "M1,2 L3,4" },
            { "M1 2,", 5, "number", "M1,2" },
            { "M0 0 A1 1 0 2 0 5 5", 12, "flag", "M0,0" },
            { "M0 0 L1e999 0", 6, "range", "M0,0" },
            { "M0 0 L--1 0", 6, "number", "M0,0" },
            { "M0 0 Lnan 0", 6, "number", "M0,0" },
        };
        for (const Case& c : cases) {
            PathError e;
            const auto cmds = parse(c.d, &e);
            EXPECT_FALSE(e.ok()) << c.d;
            EXPECT_EQ(e.offset, c.offset) << c.d << ": " << e.reason;
            EXPECT_NE(e.reason.find(c.reason), std::string::npos) << c.d << ": " << e.reason;
            EXPECT_EQ(outline(cmds), c.kept) << c.d;
        }
    }

    TEST(PathData, TheBoundOnCommandsIsAnError)
    {
        std::string d = "M0 0";
        for (int i = 0; i < 50; ++i)
            d += " L1 1";
        std::vector<PathCommand> out;
        PathError e = parsePathData(d, out, 20);
        EXPECT_FALSE(e.ok());
        EXPECT_EQ(out.size(), 20u);
        EXPECT_NE(e.reason.find("20"), std::string::npos);
        // An arc that would pass the bound is not half added.
        out.clear();
        e = parsePathData("M0 0 L1 1 A5 5 0 1 1 0 1", out, 3);
        EXPECT_FALSE(e.ok());
        EXPECT_EQ(out.size(), 2u);
    }

} // namespace
} // namespace qorvan::import::svg
