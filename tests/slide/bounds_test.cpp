// What hostile slides may cost: line work is capped per drawing, so a slide
// of 65535-vertex fills whose edges each cross the whole picture is drawn in
// bounded time; real slides stay far below the cap.
#include "tests/support/testdata.h"
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "slide/raster_surface.h"
#include "tests/slide/slide_builder.h"

namespace qorvan::slide {
namespace {

    using testing::SlideBytes;

    // A fill of 65535 vertices zig-zagging between the bottom and top edges.
    SlideBytes& zigZagFill(SlideBytes& s, unsigned xDots, unsigned yDots)
    {
        std::vector<std::pair<unsigned, unsigned>> v;
        for (unsigned i = 0; i < 65535; ++i)
            v.push_back({ (i * 7) % (xDots + 1), i % 2 ? 0 : yDots });
        return s.fill(v);
    }

    TEST(LineBudget, HostileOutlinesStopAtTheBudget)
    {
        SlideBytes s = SlideBytes::newForm(63, 63);
        s.vector(0, 10, 63, 10); // drawn before the budget runs out
        for (int k = 0; k < 3; ++k)
            zigZagFill(s, 63, 63);
        s.end();

        const std::int64_t budget = 100000;
        // A small fill budget too, so the fills are outlined only and the test is
        // about lines.
        RasterSurface r(64, 64, 0, 1000, budget);
        EXPECT_EQ(testing::renderTo(r, s.b), 0);
        EXPECT_LE(r.lineWork(), budget);
        EXPECT_GT(r.linesRefused(), 0);
        EXPECT_EQ(r.pixel(30, 63 - 10), rgb(255, 255, 255)) << "the first vector stays";
        EXPECT_EQ(r.liveObjects(), 0);

        r.clear(0);
        EXPECT_EQ(r.lineWork(), 0) << "a new drawing has a new budget";
        EXPECT_EQ(r.linesRefused(), 0);
    }

    TEST(LineBudget, EveryLineCountsOnlyTheStepsInsideThePicture)
    {
        // 1000 lines of which only 10 pixels each lie inside a 10 x 10 picture.
        SlideBytes s = SlideBytes::newForm(9, 9);
        for (int i = 0; i < 1000; ++i)
            s.vector(0, 5, 9, 5).vector(0, 0, 0, 9);
        RasterSurface r(10, 10);
        testing::renderTo(r, s.b);
        EXPECT_EQ(r.linesRefused(), 0);
        EXPECT_EQ(r.lineWork(), 1000 * (9 + 9)) << "each line leaves out its end pixel";
    }

    TEST(LineBudget, RealSlidesStayFarBelowIt)
    {
        std::filesystem::path dir = qorvan::testing::testdataDir() / "real";
        if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no real slides at " << dir;
        std::int64_t most = 0;
        std::string which;
        RasterSurface r(2048, 2048);
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
            std::string ext = e.path().extension().string();
            if (!e.is_regular_file() || (ext != ".sld" && ext != ".SLD")) continue;
            std::ifstream in(e.path(), std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            r.clear(0);
            testing::renderTo(r, bytes);
            EXPECT_EQ(r.linesRefused(), 0) << e.path();
            if (r.lineWork() > most) most = r.lineWork(), which = e.path().filename().string();
        }
        EXPECT_LT(most, RASTER_LINE_BUDGET / 100) << which;
        std::printf(
            "most line work at 2048 x 2048: %lld steps (%s)\n", static_cast<long long>(most), which.c_str());
    }

} // namespace
} // namespace qorvan::slide
