// Slides and libraries made by other software, and a comparison with an
// independent renderer (netpbm's sldtoppm) on which pixels are drawn.
#include "tests/support/testdata.h"
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/path.h"
#include "slide/display.h"
#include "slide/offscreen_window.h"
#include "slide/svg_surface.h"
#include "store/library.h"
#include "store/status.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace qorvan::slide {
namespace {

    namespace fs = std::filesystem;

    std::vector<fs::path> realFiles(const std::string& ext)
    {
        std::vector<fs::path> out;
        fs::path root = qorvan::testing::testdataDir();
        std::error_code ec;
        if (!fs::is_directory(root, ec)) return out;
        for (const auto& e : fs::recursive_directory_iterator(root, ec))
            if (e.is_regular_file() && platform::toUpperAscii(e.path().extension().string()) == ext)
                out.push_back(e.path());
        std::sort(out.begin(), out.end());
        return out;
    }

#define SKIP_WITHOUT(list)                                                                                   \
    if ((list).empty()) GTEST_SKIP() << "no real files under " << qorvan::testing::testdataDir()

    std::string slurp(const fs::path& p)
    {
        return qorvan::testing::readFile(p);
    }

    TEST(RealSlides, RenderToEverySurface)
    {
        auto files = realFiles(".SLD");
        SKIP_WITHOUT(files);
        for (const auto& f : files) {
            std::string bytes = slurp(f);
            RasterSurface s(256, 192);
            int result = qorvan::testing::renderTo(s, bytes);
            EXPECT_TRUE(result == Ok || result == DisplayMismatch || result == InvalidSlide) << f;
            EXPECT_EQ(s.liveObjects(), 0) << f;
            SvgSurface svg(256, 192);
            SlideRenderer r;
            r.surface = &svg;
            MemoryStream m(bytes.data(), bytes.size());
            drawSlideStream(r, m);
            bool drewVectors = svg.document().find("<line") != std::string::npos
                || svg.document().find("<polygon") != std::string::npos
                || svg.document().find("<rect x") != std::string::npos;
            EXPECT_EQ(drewVectors, qorvan::testing::countPixels(s) > 0)
                << f << ": the SVG draws when the raster does";
        }
    }

    // Every slide named in every real library, by its own directory.
    TEST(RealLibraries, EverySlideDraws)
    {
        auto libs = realFiles(".SLB");
        SKIP_WITHOUT(libs);
        int drawnSlides = 0;
        for (const auto& lib : libs) {
            std::string bytes = slurp(lib);
            fs::path stem = lib.parent_path() / lib.stem();
            // The reference names the library without extension; ".SLB" is added,
            // and files are found whatever their letter case.
            for (std::size_t at = LIBRARY_HEADER_SIZE;
                 at + DIRECTORY_ENTRY_SIZE <= bytes.size() && bytes[at] != 0; at += DIRECTORY_ENTRY_SIZE) {
                std::string name(bytes.data() + at, strnlen(bytes.data() + at, SLIDE_NAME_SIZE));
                OffscreenWindow w(200, 150);
                std::string ref = stem.string() + "(" + name + ")";
                int result = showSlide(&w, ref.c_str());
                bool upper = platform::toUpperAscii(name) == name;
                if (!upper) {
                    EXPECT_EQ(result, SlideNotFound) << ref << ": names compare exactly";
                    continue;
                }
                EXPECT_TRUE(result == Ok || result == DisplayMismatch || result == InvalidSlide)
                    << ref << " " << result;
                EXPECT_GT(qorvan::testing::countPixels(w.surface()), 0) << ref;
                ++drawnSlides;
            }
        }
        EXPECT_GT(drawnSlides, 0);
    }

    bool readPpm(const std::string& path, int& w, int& h, std::vector<unsigned char>& rgbBytes)
    {
        std::ifstream in(path, std::ios::binary);
        std::string magic;
        int maxval = 0;
        if (!(in >> magic >> w >> h >> maxval) || magic != "P6" || maxval != 255) return false;
        in.get();
        rgbBytes.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
        return static_cast<bool>(
            in.read(reinterpret_cast<char*>(rgbBytes.data()), static_cast<std::streamsize>(rgbBytes.size())));
    }

    // Drawn pixels of a that have a drawn pixel of b within one pixel.
    std::pair<long, long> agreement(const std::vector<char>& a, const std::vector<char>& b, int w, int h)
    {
        long drawn = 0, agreed = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (!a[static_cast<std::size_t>(y * w + x)]) continue;
                ++drawn;
                bool near = false;
                for (int dy = -1; dy <= 1 && !near; ++dy)
                    for (int dx = -1; dx <= 1 && !near; ++dx) {
                        int u = x + dx, v = y + dy;
                        near = u >= 0 && v >= 0 && u < w && v < h && b[static_cast<std::size_t>(v * w + u)];
                    }
                agreed += near;
            }
        return { drawn, agreed };
    }

    // Two stamp slides close each fill with a vertex group whose Y word holds
    // minus the last vertex's y; folded as 0xFFFF - Y it lands one row below the
    // fill, and sldtoppm, which reads that group as a terminator, also leaves out
    // the fill's lowest row. Their glyph-heavy fills put them under 99.5%; they
    // are held to a lower floor and named in the output, and every other file to
    // the full threshold.
    struct Floor {
        const char* file;
        double percent;
    };
    constexpr Floor KNOWN_DIVERGENCE[] = { { "ANNO_STCK.sld", 98.5 }, { "ANNO_LETR.sld", 99.0 } };

    double floorFor(const std::string& name)
    {
        for (const Floor& f : KNOWN_DIVERGENCE)
            if (name == f.file) return f.percent;
        return 99.5;
    }

    TEST(RealSlides, AgreeWithSldtoppm)
    {
        auto files = realFiles(".SLD");
        SKIP_WITHOUT(files);
        if (std::system("command -v sldtoppm >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "sldtoppm is not installed";
        qorvan::testing::TempDir tmp;
        long allDrawn = 0, allAgreed = 0;
        for (const auto& f : files) {
            std::string ppm = tmp.str("out.ppm");
            std::string cmd = "sldtoppm '" + f.string() + "' > '" + ppm + "' 2>/dev/null";
            ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
            int pw = 0, ph = 0;
            std::vector<unsigned char> peer;
            ASSERT_TRUE(readPpm(ppm, pw, ph, peer)) << f;

            std::string bytes = slurp(f);
            SlideHeader header;
            MemoryStream hs(bytes.data(), bytes.size());
            peekSlideLevel(hs) == 1 ? readOldSlideHeader(hs, header) : readNewSlideHeader(hs, header);
            RasterSurface ours(header.xDots() + 1, header.yDots() + 1);
            qorvan::testing::renderTo(ours, bytes);

            int w = std::min(pw, ours.width()), h = std::min(ph, ours.height());
            std::vector<char> a(static_cast<std::size_t>(w * h)), b(a.size());
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    // Both images share the bottom-left corner.
                    int oy = ours.height() - h + y, py = ph - h + y;
                    a[static_cast<std::size_t>(y * w + x)] = ours.pixel(x, oy) != 0;
                    const unsigned char* p
                        = &peer[(static_cast<std::size_t>(py) * static_cast<std::size_t>(pw)
                                    + static_cast<std::size_t>(x))
                            * 3];
                    b[static_cast<std::size_t>(y * w + x)] = (p[0] | p[1] | p[2]) != 0;
                }
            auto [d1, g1] = agreement(a, b, w, h);
            auto [d2, g2] = agreement(b, a, w, h);
            long drawn = d1 + d2, agreed = g1 + g2;
            double share = drawn ? 100.0 * static_cast<double>(agreed) / static_cast<double>(drawn) : 100.0;
            double floor = floorFor(f.filename().string());
            std::printf("%-40s %4dx%-4d peer %4dx%-4d drawn %7ld agree %7.3f%%%s\n",
                f.filename().string().c_str(), ours.width(), ours.height(), pw, ph, drawn, share,
                floor < 99.5 ? " (known divergence: closing fill vertex)" : "");
            EXPECT_GE(share, floor) << f;
            allDrawn += drawn;
            allAgreed += agreed;
        }
        std::printf("overall: %ld drawn pixels, %.3f%% agree\n", allDrawn,
            allDrawn ? 100.0 * static_cast<double>(allAgreed) / static_cast<double>(allDrawn) : 100.0);
    }

} // namespace
} // namespace qorvan::slide
