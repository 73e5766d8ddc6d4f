#include <gtest/gtest.h>

#include <png.h>

#include "slide/offscreen_window.h"
#include "slide/png.h"
#include "slide/svg_surface.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace qorvan::slide {
namespace {

    using testing::SlideBytes;

    const std::string SAMPLE = SlideBytes::newForm(9, 9)
                                   .color(1)
                                   .vector(0, 0, 9, 9)
                                   .color(5)
                                   .fill({ { 1, 1 }, { 5, 1 }, { 3, 6 } })
                                   .vector(7, 7, 7, 7)
                                   .b;

    TEST(Png, RoundTripsThePixels)
    {
        RasterSurface s(10, 10);
        testing::renderTo(s, SAMPLE);
        qorvan::testing::TempDir dir;
        std::string path = dir.str("out.png");
        ASSERT_TRUE(writePng(s, path));

        png_image img {};
        img.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&img, path.c_str()));
        img.format = PNG_FORMAT_RGB;
        std::vector<png_byte> buf(PNG_IMAGE_SIZE(img));
        ASSERT_TRUE(png_image_finish_read(&img, nullptr, buf.data(), 0, nullptr));
        ASSERT_EQ(img.width, 10u);
        ASSERT_EQ(img.height, 10u);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) {
                const png_byte* p = &buf[static_cast<std::size_t>((y * 10 + x) * 3)];
                EXPECT_EQ(rgb(p[0], p[1], p[2]), s.pixel(x, y)) << x << "," << y;
            }
        EXPECT_FALSE(writePng(s, dir.str("no/such/dir/out.png")));
        EXPECT_FALSE(writePng(RasterSurface(0, 0), dir.str("empty.png")));
    }

    TEST(Svg, SameDrawingAsVectors)
    {
        SvgSurface s(10, 10);
        SlideRenderer r;
        r.surface = &s;
        MemoryStream m(SAMPLE.data(), SAMPLE.size());
        drawSlideStream(r, m);
        std::string doc = s.document();
        EXPECT_NE(doc.find("viewBox=\"0 0 10 10\""), std::string::npos);
        EXPECT_NE(doc.find("<line x1=\"0.5\" y1=\"9.5\" x2=\"9.5\" y2=\"0.5\" stroke=\"#ff0000\"/>"),
            std::string::npos);
        EXPECT_NE(doc.find("<polygon points=\"1.5,8.5 5.5,8.5 3.5,3.5\" fill=\"#0000ff\" "
                           "fill-rule=\"nonzero\" stroke=\"#0000ff\"/>"),
            std::string::npos);
        EXPECT_NE(
            doc.find("<rect x=\"7\" y=\"2\" width=\"1\" height=\"1\" fill=\"#0000ff\"/>"), std::string::npos);
        EXPECT_EQ(s.liveObjects(), 0);
        qorvan::testing::TempDir dir;
        ASSERT_TRUE(s.save(dir.str("a.svg")));
        EXPECT_EQ(qorvan::testing::readFile(dir.path() / "a.svg"), doc);
    }

    TEST(OffscreenWindow, EraseAndRelease)
    {
        OffscreenWindow w(4, 3, rgb(9, 9, 9));
        EXPECT_EQ(w.GetClientRect(), (Rect { 0, 0, 4, 3 }));
        Surface* s = w.GetSurface();
        s->SetPixel(1, 1, 5);
        Handle rgn = s->CreateRectRgn(0, 0, 1, 1);
        s->SelectClipRgn(rgn);
        s->SetPixel(2, 2, 5);
        EXPECT_EQ(w.surface().pixel(2, 2), rgb(9, 9, 9)) << "clipped";
        s->DeleteObject(rgn);
        w.ReleaseSurface(s);
        w.InvalidateAndUpdate();
        EXPECT_EQ(w.surface().pixel(1, 1), rgb(9, 9, 9));
        w.GetSurface()->SetPixel(2, 2, 5);
        EXPECT_EQ(w.surface().pixel(2, 2), 5u) << "a released surface forgets its clip";
    }

} // namespace
} // namespace qorvan::slide
