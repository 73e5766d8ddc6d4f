// PNG pictures round-trip whatever their number of colours and width: the
// palette indices are packed 1, 2, 4 or 8 to the pixel (or RGB past 256
// colours), and a row that ends inside a byte must not spill into the next.
#include <gtest/gtest.h>

#include <png.h>

#include <vector>

#include "slide/png.h"
#include "slide/raster_surface.h"
#include "tests/support/tempdir.h"

namespace qorvan::slide {
namespace {

    struct Case {
        int colours;
        int width;
        int height;
    };

    class PngDepth : public ::testing::TestWithParam<Case> { };

    TEST_P(PngDepth, RoundTrips)
    {
        const Case c = GetParam();
        RasterSurface s(c.width, c.height);
        // Colours spread so that neighbouring pixels differ and every one is used.
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                unsigned k = static_cast<unsigned>((x * 7 + y * 3) % c.colours);
                s.SetPixel(x, y, rgb(k & 0xFF, (k * 37) & 0xFF, k >> 8));
            }
        qorvan::testing::TempDir dir;
        std::string path = dir.str("out.png");
        ASSERT_TRUE(writePng(s, path));

        png_image img {};
        img.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&img, path.c_str()));
        img.format = PNG_FORMAT_RGB;
        std::vector<png_byte> buf(PNG_IMAGE_SIZE(img));
        ASSERT_TRUE(png_image_finish_read(&img, nullptr, buf.data(), 0, nullptr));
        ASSERT_EQ(img.width, static_cast<unsigned>(c.width));
        ASSERT_EQ(img.height, static_cast<unsigned>(c.height));
        int wrong = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const png_byte* p = &buf[static_cast<std::size_t>((y * c.width + x) * 3)];
                wrong += rgb(p[0], p[1], p[2]) != s.pixel(x, y);
            }
        EXPECT_EQ(wrong, 0);
    }

    INSTANTIATE_TEST_SUITE_P(Palettes, PngDepth,
        ::testing::Values(Case { 1, 1, 1 }, Case { 2, 1, 3 }, Case { 2, 9, 4 }, Case { 2, 16, 2 },
            Case { 3, 7, 5 }, Case { 4, 13, 3 }, Case { 5, 3, 7 }, Case { 16, 17, 5 }, Case { 17, 11, 11 },
            Case { 256, 31, 17 }, Case { 300, 40, 20 }));

} // namespace
} // namespace qorvan::slide
