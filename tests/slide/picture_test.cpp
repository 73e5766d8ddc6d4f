// Pictures for people: colours 7 and 0 on a light background, the drawn
// box, and framing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "slide/drawn_box.h"
#include "slide/picture.h"
#include "slide/raster_surface.h"
#include "tests/slide/slide_builder.h"

namespace qorvan::slide {
namespace {

    using testing::SlideBytes;

    constexpr ColorRef WHITE = rgb(255, 255, 255);
    constexpr ColorRef BLACK = rgb(0, 0, 0);
    constexpr ColorRef RED = rgb(255, 0, 0);

    const std::uint8_t* bytesOf(const std::string& s)
    {
        return reinterpret_cast<const std::uint8_t*>(s.data());
    }

    RasterSurface draw(const std::string& bytes, int w, int h, ColorRef background, const PictureLook& look)
    {
        RasterSurface s(w, h, background);
        drawSlideBytes(s, nullptr, bytesOf(bytes), bytes.size(), look);
        return s;
    }

    // Pixels different from the background, as a box (found = false when none).
    struct InkBox {
        bool found = false;
        int left = 0, top = 0, right = 0, bottom = 0; // inclusive
    };
    InkBox inkBox(const RasterSurface& s, ColorRef background)
    {
        InkBox b;
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x) {
                if (s.pixel(x, y) == background) continue;
                if (!b.found) b = { true, x, y, x, y };
                b.left = std::min(b.left, x), b.right = std::max(b.right, x);
                b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
            }
        return b;
    }

    TEST(PictureColours, SevenAndZeroFollowTheInk)
    {
        // Lines before any colour record, after colour 7, after colour 1, and
        // a fill in colour 0 over the middle of the first line.
        std::string slide = SlideBytes::newForm(100, 100)
                                .vector(0, 10, 100, 10)
                                .color(7)
                                .vector(0, 50, 100, 50)
                                .color(1)
                                .vector(0, 90, 100, 90)
                                .color(0)
                                .fill({ { 40, 0 }, { 60, 0 }, { 60, 20 }, { 40, 20 } })
                                .end()
                                .b;
        struct {
            const char* what;
            ColorRef background, foreground, backdrop;
        } cases[] = {
            { "as the dialogs: white on black", BLACK, WHITE, BLACK },
            { "black on white, masks white", WHITE, BLACK, WHITE },
            { "white on transparent", 0xFF000000u, WHITE, BLACK },
        };
        for (const auto& c : cases) {
            PictureLook look;
            look.foreground = c.foreground;
            look.backdrop = c.backdrop;
            RasterSurface s = draw(slide, 101, 101, c.background, look);
            EXPECT_EQ(s.pixel(10, 100 - 10), c.foreground) << c.what << ": before any colour record";
            EXPECT_EQ(s.pixel(10, 100 - 50), c.foreground) << c.what << ": colour 7";
            EXPECT_EQ(s.pixel(10, 100 - 90), RED) << c.what << ": colour 1 is itself";
            EXPECT_EQ(s.pixel(50, 100 - 10), c.backdrop) << c.what << ": colour 0 covers the line";
            EXPECT_EQ(s.pixel(10, 100 - 30), c.background) << c.what;
        }
    }

    TEST(DrawnBox, TheRenderersPointsCutToTheArea)
    {
        struct {
            const char* what;
            std::string slide;
            bool found;
            SlideBox box;
        } cases[] = {
            { "a line", SlideBytes::newForm(1000, 500).vector(100, 200, 300, 100).end().b, true,
                { 100, 100, 300, 200 } },
            { "a fill and a dot",
                SlideBytes::newForm(1000, 500)
                    .fill({ { 10, 10 }, { 20, 10 }, { 20, 30 } })
                    .vector(500, 400, 500, 400)
                    .end()
                    .b,
                true, { 10, 10, 500, 400 } },
            { "cut at the right edge", SlideBytes::newForm(1000, 500).vector(900, 100, 1001, 100).end().b,
                true, { 900, 100, 1000, 100 } },
            // 64000 folds to 1535, beyond the area: the line ends at the edge.
            { "a folded end beyond the area",
                SlideBytes::newForm(1000, 500).vector(500, 250, 64000, 250).end().b, true,
                { 500, 250, 1000, 250 } },
            // The offset vector runs from (60, 70) to (30, 30), measured from the
            // first vector's from point.
            { "offset vectors from the last point",
                SlideBytes::newForm(1000, 500).vector(50, 60, 70, 80).offsetVector(10, 10, -20, -30).end().b,
                true, { 30, 30, 70, 80 } },
            { "nothing drawn", SlideBytes::newForm(1000, 500).color(3).end().b, false, {} },
            { "only outside the area", SlideBytes::newForm(100, 100).vector(500, 500, 600, 700).end().b,
                false, {} },
        };
        for (const auto& c : cases) {
            SlideBox box;
            ASSERT_EQ(findDrawnBox(bytesOf(c.slide), c.slide.size(), box), c.found) << c.what;
            if (c.found) {
                EXPECT_EQ(box, c.box)
                    << c.what << ": " << box.minX << "," << box.minY << " " << box.maxX << "," << box.maxY;
            }
        }
    }

    TEST(PictureFit, TheDrawingFillsThePictureCentredWithItsProportions)
    {
        // A 2:1 rectangle in the lower-left part of a 1000 x 500 slide.
        std::string slide = SlideBytes::newForm(1000, 500)
                                .vector(100, 100, 300, 100)
                                .vector(300, 100, 300, 200)
                                .vector(300, 200, 100, 200)
                                .vector(100, 200, 100, 100)
                                .end()
                                .b;
        struct {
            int w, h;
        } sizes[] = { { 200, 200 }, { 256, 192 }, { 101, 300 }, { 640, 100 } };
        for (auto [w, h] : sizes) {
            PictureLook look;
            ASSERT_TRUE(findDrawnBox(bytesOf(slide), slide.size(), look.fitBox));
            look.fit = true;
            look.fitMargin = fitMarginFor(w, h);
            InkBox b = inkBox(draw(slide, w, h, BLACK, look), BLACK);
            ASSERT_TRUE(b.found) << w << "x" << h;
            const int m = look.fitMargin;
            int left = b.left, right = w - 1 - b.right, top = b.top, bottom = h - 1 - b.bottom;
            EXPECT_NEAR(left, right, 1) << w << "x" << h << ": centred across";
            EXPECT_NEAR(top, bottom, 1) << w << "x" << h << ": centred up and down";
            EXPECT_GE(std::min({ left, right, top, bottom }), m - 1)
                << w << "x" << h << ": the margin stays clear";
            EXPECT_LE(std::min(left, top), m + 1)
                << w << "x" << h << ": the drawing reaches the margin on one axis";
            double aspect = static_cast<double>(b.right - b.left) / (b.bottom - b.top);
            EXPECT_NEAR(aspect, 2.0, 0.1 * 2.0 + 2.0 / (b.bottom - b.top)) << w << "x" << h;
        }
        // Without fit the same slide keeps the dialogs' mapping: the drawing
        // stays in the lower-left part.
        InkBox plain = inkBox(draw(slide, 200, 200, BLACK, PictureLook {}), BLACK);
        EXPECT_LT(plain.right, 100);
        EXPECT_GT(plain.top, 100);
    }

    TEST(PictureFit, ALineOrAPointStillGetsAPicture)
    {
        for (const std::string& slide : { SlideBytes::newForm(1000, 500).vector(400, 100, 400, 300).end().b,
                 SlideBytes::newForm(1000, 500).vector(400, 100, 400, 100).end().b }) {
            PictureLook look;
            ASSERT_TRUE(findDrawnBox(bytesOf(slide), slide.size(), look.fitBox));
            look.fit = true;
            look.fitMargin = fitMarginFor(100, 100);
            InkBox b = inkBox(draw(slide, 100, 100, BLACK, look), BLACK);
            ASSERT_TRUE(b.found);
            EXPECT_NEAR(b.left, 49, 1) << "centred across";
        }
    }

    // The indexed surface must draw exactly what the 32-bit one draws: every
    // real slide, and hand-made ones with many colours, compared pixel by pixel.
    TEST(IndexedRaster, DrawsWhatTheFullColourSurfaceDraws)
    {
        std::vector<std::string> slides;
        std::error_code ec;
        for (const auto& e : std::filesystem::recursive_directory_iterator(QORVAN_TESTDATA_DIR, ec))
            if (e.is_regular_file() && e.path().extension() == ".sld" && slides.size() < 40) {
                std::ifstream in(e.path(), std::ios::binary);
                slides.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            }
        SlideBytes many = SlideBytes::newForm(300, 255);
        for (unsigned c = 0; c < 255; ++c)
            many.color(c).vector(0, c, 300, 255 - c);
        slides.push_back(many.end().b);
        for (std::size_t i = 0; i < slides.size(); ++i) {
            for (ColorRef background : { BLACK, WHITE }) {
                RasterSurface full(160, 120, background);
                IndexedRasterSurface indexed(160, 120, background);
                drawSlideBytes(full, nullptr, bytesOf(slides[i]), slides[i].size(), PictureLook {});
                drawSlideBytes(indexed, nullptr, bytesOf(slides[i]), slides[i].size(), PictureLook {});
                ASSERT_FALSE(indexed.overflowed());
                std::size_t differ = 0;
                for (int y = 0; y < 120; ++y)
                    for (int x = 0; x < 160; ++x)
                        differ += full.pixel(x, y) != indexed.pixel(x, y);
                EXPECT_EQ(differ, 0u) << "slide " << i;
            }
        }
    }

    // Slides cannot reach it (their palette repeats a few colours), but other
    // drawings on the surface can.
    TEST(IndexedRaster, A257thColourIsReported)
    {
        IndexedRasterSurface s(300, 2, BLACK);
        for (unsigned c = 1; c < 256; ++c)
            s.SetPixel(static_cast<int>(c), 0, rgb(c, 1, 2));
        EXPECT_FALSE(s.overflowed()) << "256 colours with the background";
        EXPECT_EQ(s.pixel(200, 0), rgb(200, 1, 2));
        s.SetPixel(0, 1, rgb(9, 9, 9));
        EXPECT_TRUE(s.overflowed());
    }

} // namespace
} // namespace qorvan::slide
