// info, render, convert and gallery: pictures compared pixel for pixel with
// what the dialogs' drawing gives, SVG parsed, big-endian slides read.
#include <gtest/gtest.h>

#include <filesystem>

#include "slide/byte_order.h"
#include "slide/display.h"
#include "slide/offscreen_window.h"
#include "store/library.h"
#include "tests/cli/support.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    namespace fs = std::filesystem;

    // Three lines, a fill and a colour change.
    std::string sample()
    {
        return SlideBytes::newForm(300, 200, 2)
            .vector(0, 0, 300, 200)
            .color(1)
            .vector(0, 200, 300, 0)
            .fill({ { 100, 50 }, { 200, 50 }, { 150, 150 } })
            .color(3)
            .offsetVector(10, -10, 40, -10)
            .end()
            .b;
    }

    std::string bigEndian(const std::string& s)
    {
        auto big = slide::transcodeSlide(reinterpret_cast<const std::uint8_t*>(s.data()), s.size(),
            slide::ByteOrder::Little, slide::ByteOrder::Big, true);
        return std::string(big.begin(), big.end());
    }

    // What the dialogs show for ref in a w by h picture control.
    std::vector<std::uint32_t> dialogPixels(const std::string& dir, const std::string& ref, int w, int h)
    {
        fs::path old = fs::current_path();
        fs::current_path(dir);
        slide::OffscreenWindow window(w, h);
        slide::showSlide(&window, ref.c_str());
        fs::current_path(old);
        std::vector<std::uint32_t> out;
        for (slide::ColorRef c : window.surface().pixels())
            out.push_back(c | 0xFF000000u);
        return out;
    }

    TEST(CliRender, PngEqualsTheDialogsDrawing)
    {
        TempDir t;
        t.write("plan.sld", sample());
        t.write("lib.slb", makeLibrary({ { "PLAN", sample() } }));
        struct {
            std::vector<std::string> args;
            std::string ref;
            int w, h;
        } cases[] = {
            { { "render", "plan", "-o", "a.png" }, "plan", 301, 201 },
            { { "render", "PLAN.SLD", "-o", "b.png", "--size", "200x200" }, "plan", 200, 200 },
            { { "render", "lib(plan)", "-o", "c.png", "--size", "400x100" }, "lib(plan)", 400, 100 },
        };
        for (const auto& c : cases) {
            RunResult r = qorvan(c.args, t.str());
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.err, "");
            Image img = readPng(t.str(c.args[3]));
            ASSERT_EQ(img.width, static_cast<unsigned>(c.w));
            ASSERT_EQ(img.height, static_cast<unsigned>(c.h));
            EXPECT_EQ(img.rgba, dialogPixels(t.str(), c.ref, c.w, c.h)) << c.args[3];
        }
    }

    TEST(CliRender, BackgroundsAndTheHeaderWarning)
    {
        TempDir t;
        t.write("plan.sld", sample());
        t.write("odd.sld", SlideBytes::newForm(100, 100, 1).vector(0, 0, 100, 100).end().b);
        ASSERT_EQ(qorvan({ "render", "plan", "-o", "w.png", "--background", "white" }, t.str()).status, 0);
        ASSERT_EQ(qorvan({ "render", "plan", "-o", "n.png", "--background", "none" }, t.str()).status, 0);
        Image w = readPng(t.str("w.png")), n = readPng(t.str("n.png"));
        ASSERT_FALSE(w.rgba.empty());
        ASSERT_FALSE(n.rgba.empty());
        EXPECT_EQ(w.rgba[150], 0xFFFFFFFFu) << "top row, away from the lines: white";
        EXPECT_EQ(n.rgba[150] >> 24, 0u) << "transparent";
        // Drawn pixels stay opaque, and are the same in all three.
        std::size_t drawn = 0;
        for (std::size_t i = 0; i < n.rgba.size(); ++i)
            if (n.rgba[i] >> 24) ++drawn;
        EXPECT_GT(drawn, 300u);

        RunResult odd = qorvan({ "render", "odd", "-o", "odd.png" }, t.str());
        EXPECT_EQ(odd.status, 0);
        EXPECT_EQ(odd.err, "qorvan: warning: odd: Warning--Slide prepared for different display.\n");
        EXPECT_TRUE(fs::exists(t.path() / "odd.png"));

        RunResult missing = qorvan({ "render", "nosuch", "-o", "x.png" }, t.str());
        EXPECT_EQ(missing.status, 1);
        EXPECT_EQ(missing.err, "qorvan render: nosuch: cannot open nosuch.SLD: No such file or directory\n");
        RunResult notSld = qorvan({ "render", "plan.txt", "-o", "x.png" }, t.str());
        EXPECT_EQ(notSld.status, 1);
        EXPECT_EQ(notSld.err, "qorvan render: plan.txt: cannot open it: No such file or directory\n");
        RunResult noName = qorvan({ "render", "lib(bolt)", "-o", "x.png" }, t.str());
        EXPECT_EQ(noName.status, 1);
    }

    TEST(CliRender, SvgIsWellFormedWithAnElementPerPrimitive)
    {
        TempDir t;
        t.write("plan.sld", sample());
        RunResult r = qorvan({ "render", "plan", "-o", "p.svg" }, t.str());
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<std::string> elements;
        std::string doc = readFile(t.path() / "p.svg");
        ASSERT_TRUE(wellFormed(doc, &elements)) << doc;
        EXPECT_EQ(countOf(elements, "svg"), 1u);
        EXPECT_EQ(countOf(elements, "line"), 3u);
        EXPECT_EQ(countOf(elements, "polygon"), 1u);
        // One rectangle for the background, one in each clip path.
        EXPECT_EQ(countOf(elements, "rect"), countOf(elements, "clipPath") + 1);
        ASSERT_EQ(qorvan({ "render", "plan", "-o", "n.svg", "--background", "none" }, t.str()).status, 0);
        elements.clear();
        ASSERT_TRUE(wellFormed(readFile(t.path() / "n.svg"), &elements));
        EXPECT_EQ(countOf(elements, "rect"), countOf(elements, "clipPath"));
    }

    TEST(CliRender, AllSlidesOfALibrary)
    {
        TempDir t;
        std::string lines = SlideBytes::newForm(100, 100).vector(0, 0, 100, 100).end().b;
        t.write("lib.slb", makeLibrary({ { "PLAN", sample() }, { "LINES", lines }, { "A/B", lines } }));
        RunResult r = qorvan({ "render", "lib", "--all", "-d", "pics" }, t.str());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readPng(t.str("pics/PLAN.png")).rgba, dialogPixels(t.str(), "lib(plan)", 301, 201));
        EXPECT_EQ(readPng(t.str("pics/LINES.png")).width, 101u);
        EXPECT_TRUE(fs::exists(t.path() / "pics/A_B.png")) << "a name unsafe as a file name is made safe";
        r = qorvan({ "render", "lib", "--all", "-d", "vec", "--format", "svg", "--size", "64x48" }, t.str());
        ASSERT_EQ(r.status, 0) << r.err;
        for (const char* f : { "vec/PLAN.svg", "vec/LINES.svg", "vec/A_B.svg" }) {
            std::string doc = readFile(t.path() / f);
            EXPECT_TRUE(wellFormed(doc)) << f;
            EXPECT_NE(doc.find("width=\"64\" height=\"48\""), std::string::npos) << f;
        }
    }

    TEST(CliConvert, BigEndianSlidesRenderAsTheOriginal)
    {
        std::vector<std::pair<std::string, std::string>> slides = { { "sample", sample() } };
        for (const auto& f : realFiles(".sld")) {
            if (slides.size() >= 12) break;
            slides.push_back({ f.stem().string(), readFile(f) });
        }
        for (const auto& [name, bytes] : slides) {
            TempDir t;
            t.write("orig.sld", bytes);
            t.write("swap.sld", bigEndian(bytes));
            ASSERT_NE(readFile(t.path() / "swap.sld"), bytes);
            RunResult c = qorvan({ "convert", "swap", "-o", "back.sld" }, t.str());
            ASSERT_EQ(c.status, 0) << name << c.err;
            for (const char* args : { "orig", "swap", "back" }) {
                RunResult r = qorvan(
                    { "render", args, "-o", std::string(args) + ".png", "--size", "320x240" }, t.str());
                ASSERT_EQ(r.status, 0) << name << " " << args << r.err;
                // Drawn either way, but the module could not read the swapped one.
                if (std::string(args) == "swap") {
                    EXPECT_NE(r.err.find("warning: swap: written high byte first"), std::string::npos)
                        << r.err;
                } else {
                    EXPECT_EQ(r.err, "");
                }
            }
            Image orig = readPng(t.str("orig.png"));
            EXPECT_EQ(readPng(t.str("swap.png")).rgba, orig.rgba) << name;
            EXPECT_EQ(readPng(t.str("back.png")).rgba, orig.rgba) << name;
            EXPECT_EQ(dialogPixels(t.str(), "back", 320, 240), orig.rgba)
                << name << ": the module reads the copy";
            RunResult info = qorvan({ "info", "swap" }, t.str());
            EXPECT_NE(info.out.find("byte order: big-endian"), std::string::npos) << info.out;
            EXPECT_NE(info.out.find("header check: Error reading slide file. *Invalid*"), std::string::npos)
                << info.out;
        }
    }

    TEST(CliInfo, SlideAndLibrary)
    {
        TempDir t;
        t.write("plan.sld", sample());
        t.write("lib.slb",
            makeLibrary({ { "PLAN", sample() }, { "ODD", SlideBytes::newForm(10, 10, 1).end().b } }));
        RunResult r = qorvan({ "info", "plan" }, t.str());
        ASSERT_EQ(r.status, 0) << r.err;
        for (const char* want : { "form: new (31-byte header)", "xDots: 300", "yDots: 200", "fill flag: 2",
                 "byte order: little-endian", "header check: ok",
                 "records: 7 (2 vector, 1 offset vector, 1 end, 1 solid fill, 2 colour",
                 "drawn extent: x 0..300, y 0..200" })
            EXPECT_NE(r.out.find(want), std::string::npos) << want << "\n" << r.out;

        RunResult j = qorvan({ "info", "plan.sld", "--json" }, t.str());
        ASSERT_EQ(j.status, 0);
        for (const char* want : { "\"xDots\": 300", "\"fillFlag\": 2", "\"byteOrder\": \"little\"",
                 "\"headerCheck\": 0", "\"solid fill\": 1", "\"endRecord\": true" })
            EXPECT_NE(j.out.find(want), std::string::npos) << want << "\n" << j.out;

        RunResult lib = qorvan({ "info", "lib" }, t.str());
        ASSERT_EQ(lib.status, 0) << lib.err;
        EXPECT_NE(lib.out.find("library lib.slb: 2 slides"), std::string::npos) << lib.out;
        EXPECT_NE(lib.out.find("ODD"), std::string::npos);
        EXPECT_NE(lib.out.find("Warning--Slide prepared for different display."), std::string::npos)
            << lib.out;
        RunResult one = qorvan({ "info", "lib(plan)" }, t.str());
        EXPECT_NE(one.out.find("xDots: 300"), std::string::npos) << one.out;
        RunResult missing = qorvan({ "info", "nosuch" }, t.str());
        EXPECT_EQ(missing.status, 1);
    }

} // namespace
} // namespace qorvan::testing
