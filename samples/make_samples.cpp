// qorvan-samples OUTDIR: draws the sample slides into OUTDIR and builds the
// sample library samples.slb from four of them with the store's own append.
// The committed files in samples/ are its output; a test checks that they
// still match.
#include "samples/slide_writer.h"
#include "store/edit.h"
#include "store/status.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

using qorvan::samples::Point;
using qorvan::samples::SlideWriter;

namespace {

constexpr int X_DOTS = 1000;
constexpr int Y_DOTS = 750;

// Colour indices of the host's palette.
constexpr int RED = 1;
constexpr int YELLOW = 2;
constexpr int GREEN = 3;
constexpr int CYAN = 4;
constexpr int BLUE = 5;
constexpr int WHITE = 7;

Point polar(Point c, double r, double angle)
{
    return { c.x + static_cast<int>(std::lround(r * std::cos(angle))),
        c.y + static_cast<int>(std::lround(r * std::sin(angle))) };
}

std::vector<Point> circle(Point c, double r, int segments)
{
    std::vector<Point> points;
    for (int i = 0; i < segments; ++i)
        points.push_back(polar(c, r, 2 * std::numbers::pi * i / segments));
    return points;
}

SlideWriter box()
{
    SlideWriter s(X_DOTS, Y_DOTS);
    s.colour(WHITE);
    s.polyline({ { 250, 125 }, { 750, 125 }, { 750, 625 }, { 250, 625 } }, true);
    s.colour(CYAN);
    s.line({ 250, 125 }, { 750, 625 });
    s.line({ 250, 625 }, { 750, 125 });
    s.colour(RED);
    s.fill({ { 450, 325 }, { 550, 325 }, { 550, 425 }, { 450, 425 } });
    return s;
}

SlideWriter circleSlide()
{
    SlideWriter s(X_DOTS, Y_DOTS);
    s.colour(GREEN);
    s.polyline(circle({ 500, 375 }, 300, 72), true);
    s.colour(YELLOW);
    s.polyline(circle({ 500, 375 }, 150, 48), true);
    s.colour(WHITE);
    s.line({ 150, 375 }, { 850, 375 });
    s.line({ 500, 25 }, { 500, 725 });
    return s;
}

SlideWriter gear()
{
    SlideWriter s(X_DOTS, Y_DOTS);
    const Point c { 500, 375 };
    constexpr int TEETH = 12;
    std::vector<Point> outline;
    for (int i = 0; i < TEETH; ++i) {
        const double a = 2 * std::numbers::pi * i / TEETH;
        const double step = 2 * std::numbers::pi / TEETH;
        outline.push_back(polar(c, 250, a));
        outline.push_back(polar(c, 250, a + step * 0.25));
        outline.push_back(polar(c, 310, a + step * 0.35));
        outline.push_back(polar(c, 310, a + step * 0.65));
        outline.push_back(polar(c, 250, a + step * 0.75));
    }
    s.colour(BLUE);
    for (int i = 0; i < TEETH; ++i) {
        const double a = 2 * std::numbers::pi * i / TEETH;
        const double step = 2 * std::numbers::pi / TEETH;
        s.fill({ polar(c, 250, a + step * 0.25), polar(c, 310, a + step * 0.35),
            polar(c, 310, a + step * 0.65), polar(c, 250, a + step * 0.75) });
    }
    s.colour(WHITE);
    s.polyline(outline, true);
    s.colour(YELLOW);
    s.polyline(circle(c, 80, 36), true);
    return s;
}

SlideWriter star()
{
    SlideWriter s(X_DOTS, Y_DOTS);
    const Point c { 500, 360 };
    std::vector<Point> outer;
    std::vector<Point> inner;
    for (int i = 0; i < 5; ++i) {
        const double a = std::numbers::pi / 2 + 2 * std::numbers::pi * i / 5;
        outer.push_back(polar(c, 320, a));
        inner.push_back(polar(c, 125, a + std::numbers::pi / 5));
    }
    s.colour(YELLOW);
    s.fill(inner);
    for (int i = 0; i < 5; ++i)
        s.fill({ outer[static_cast<std::size_t>(i)], inner[static_cast<std::size_t>((i + 4) % 5)],
            inner[static_cast<std::size_t>(i)] });
    s.colour(RED);
    std::vector<Point> edge;
    for (int i = 0; i < 5; ++i) {
        edge.push_back(outer[static_cast<std::size_t>(i)]);
        edge.push_back(inner[static_cast<std::size_t>(i)]);
    }
    s.polyline(edge, true);
    return s;
}

SlideWriter house()
{
    SlideWriter s(X_DOTS, Y_DOTS);
    s.colour(WHITE);
    s.polyline({ { 250, 100 }, { 750, 100 }, { 750, 450 }, { 250, 450 } }, true);
    s.colour(RED);
    s.fill({ { 220, 450 }, { 780, 450 }, { 500, 680 } });
    s.colour(GREEN);
    s.fill({ { 450, 100 }, { 550, 100 }, { 550, 300 }, { 450, 300 } });
    s.colour(CYAN);
    s.polyline({ { 300, 300 }, { 400, 300 }, { 400, 400 }, { 300, 400 } }, true);
    s.polyline({ { 600, 300 }, { 700, 300 }, { 700, 400 }, { 600, 400 } }, true);
    return s;
}

// Drawn mostly with the short records: offset and common-endpoint vectors.
SlideWriter arrow()
{
    SlideWriter s(X_DOTS, Y_DOTS);
    s.colour(GREEN);
    s.line({ 200, 375 }, { 200, 375 });
    for (int i = 0; i < 5; ++i)
        s.offsetLine({ 0, 0 }, { 100, 0 }), s.lineToLast({ 100, 0 });
    s.colour(YELLOW);
    s.line({ 700, 375 }, { 600, 475 });
    s.line({ 700, 375 }, { 600, 275 });
    for (int i = 0; i < 4; ++i)
        s.lineToLast({ -25, 25 });
    return s;
}

bool writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out.flush());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr,
            "usage: qorvan-samples OUTDIR\n"
            "Draws the sample slides into OUTDIR and builds OUTDIR/samples.slb.\n");
        return argc == 2 ? 0 : 2;
    }
    const std::filesystem::path dir = argv[1];
    const std::pair<const char*, SlideWriter> slides[] = {
        { "box.sld", box() },
        { "circle.sld", circleSlide() },
        { "gear.sld", gear() },
        { "star.sld", star() },
        { "house.sld", house() },
        { "arrow.sld", arrow() },
    };
    for (const auto& [name, slide] : slides) {
        if (!writeFile(dir / name, slide.bytes())) {
            std::fprintf(stderr, "qorvan-samples: cannot write %s\n", (dir / name).c_str());
            return 1;
        }
    }
    const std::string library = (dir / "samples.slb").string();
    std::filesystem::remove(library);
    for (const char* name : { "box.sld", "circle.sld", "gear.sld", "star.sld" }) {
        if (qorvan::appendSlide(library.c_str(), (dir / name).c_str()) != 0) {
            std::fprintf(stderr, "qorvan-samples: %s\n", qorvan::statusMessage());
            return 1;
        }
    }
    return 0;
}
