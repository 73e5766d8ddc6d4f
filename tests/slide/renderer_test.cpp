#include <gtest/gtest.h>

#include "slide/mapping.h"
#include "slide/renderer.h"
#include "store/status.h"
#include "tests/slide/recording_surface.h"
#include "tests/slide/slide_builder.h"

namespace qorvan::slide {
namespace {

    using testing::RecordingSurface;
    using testing::SlideBytes;

    constexpr ColorRef WHITE = rgb(255, 255, 255);

    int record(RecordingSurface& s, const std::string& bytes, SlideRenderer* out = nullptr)
    {
        SlideRenderer r;
        r.surface = &s;
        MemoryStream stream(bytes.data(), bytes.size());
        int result = drawSlideStream(r, stream);
        if (out) *out = r;
        return result;
    }

    TEST(Palette, Entries)
    {
        struct {
            int index;
            ColorRef want;
        } cases[] = { { 0, rgb(0, 0, 0) }, { 1, rgb(255, 0, 0) }, { 7, WHITE }, { 58, rgb(32, 32, 16) },
            { 59, rgb(32, 32, 0) }, { 128, rgb(0, 37, 31) }, { 250, rgb(95, 95, 95) }, { 255, WHITE },
            { -1, 0 }, { 256, 0 } };
        for (auto c : cases)
            EXPECT_EQ(paletteColor(c.index), c.want) << c.index;
    }

    TEST(Mapping, WorkedExamples)
    {
        // 1000 x 500 in 200 x 200: fills the width, bottom-aligned.
        RecordingSurface a(200, 200);
        record(a, SlideBytes::newForm(1000, 500).b);
        EXPECT_EQ(a.calls("SetWindowExt"), std::vector<std::string> { "SetWindowExt 1000 1000" });
        EXPECT_EQ(a.calls("SetViewportExt"), std::vector<std::string> { "SetViewportExt 199 -199" });
        EXPECT_EQ(a.calls("SetViewportOrg"), std::vector<std::string> { "SetViewportOrg 0 199" });
        EXPECT_EQ(a.mapping().effectiveViewportExt(), (Size { 199, -199 }));
        EXPECT_EQ(a.mapping().toDevice({ 0, 0 }), (Point { 0, 199 }));
        EXPECT_EQ(a.mapping().toDevice({ 1000, 500 }), (Point { 199, 99 }));

        // 1000 x 500 in 400 x 100: the window extent widens to keep proportions
        // and the isotropic mode narrows the viewport to equal scales.
        RecordingSurface b(400, 100);
        record(b, SlideBytes::newForm(1000, 500).b);
        EXPECT_EQ(b.calls("SetWindowExt"), std::vector<std::string> { "SetWindowExt 2000 500" });
        EXPECT_EQ(b.mapping().effectiveViewportExt(), (Size { 396, -99 }));
        EXPECT_EQ(b.mapping().toDevice({ 1000, 500 }), (Point { 198, 0 }));
        EXPECT_EQ(b.mapping().toDevice({ 0, 0 }), (Point { 0, 99 }));
    }

    TEST(Mapping, TextModeAndRefusedExtents)
    {
        Mapping m;
        EXPECT_EQ(m.toDevice({ 3, 4 }), (Point { 3, 4 }));
        m.setViewportOrg(10, 20);
        EXPECT_EQ(m.toDevice({ 3, 4 }), (Point { 13, 24 }));
        m.setWindowExt(5, 5);
        EXPECT_EQ(m.windowExt, (Size { 1, 1 })) << "extents are fixed in the text mode";
        m.setMode(MM_ISOTROPIC);
        m.setWindowExt(0, 7);
        EXPECT_EQ(m.windowExt, (Size { 1, 1 })) << "a zero extent is refused";
        EXPECT_EQ(slideWindowExtent(0, 0, 10, 10), (Size { 0, 0 }));
        EXPECT_EQ(slideWindowExtent(0, 5, 10, 10).cy, 5) << "saturates instead of overflowing";
    }

    TEST(Renderer, SetUpAndCleanUp)
    {
        RecordingSurface s(10, 10);
        Handle pen = s.GetCurrentObject(ObjectKind::Pen), brush = s.GetCurrentObject(ObjectKind::Brush);
        record(s, SlideBytes::newForm(9, 9).color(1).color(2).vector(1, 1, 2, 2).b);
        EXPECT_EQ(s.log.front(), "CreateSolidBrush " + std::to_string(WHITE));
        EXPECT_EQ(s.log[1], "CreatePen 0 " + std::to_string(WHITE));
        EXPECT_EQ(s.calls("SetMapMode"), std::vector<std::string> { "SetMapMode 7" });
        EXPECT_EQ(s.calls("CreatePen").size(), 3u) << "one at the start, one per colour record";
        EXPECT_EQ(s.calls("CreateSolidBrush").size(), 3u);
        EXPECT_EQ(s.liveObjects(), 0) << "every pen and brush is deleted";
        EXPECT_EQ(s.GetCurrentObject(ObjectKind::Pen), pen) << "the saved pen is put back";
        EXPECT_EQ(s.GetCurrentObject(ObjectKind::Brush), brush);
    }

    TEST(Renderer, EmptyClientAreaDrawsNothing)
    {
        for (auto [w, h] : { std::pair { 0, 10 }, std::pair { 10, 0 }, std::pair { 0, 0 } }) {
            RecordingSurface s(w, h);
            EXPECT_EQ(record(s, SlideBytes::newForm(9, 9).vector(1, 1, 2, 2).b), Ok);
            EXPECT_TRUE(s.log.empty()) << w << "x" << h;
        }
    }

    // Folding and clamping, seen in the coordinates the renderer passes on.
    TEST(Renderer, VectorAdjustments)
    {
        struct Case {
            const char* what;
            SlideBytes slide;
            std::vector<std::string> want; // MoveTo and LineTo, in order
        } cases[] = {
            { "x2 65535 folds to 0", SlideBytes::newForm(1000, 500).vector(10, 10, 65535, 20),
                { "MoveTo 10 10", "LineTo 0 20" } },
            { "x2 1001 stays", SlideBytes::newForm(1000, 500).vector(10, 10, 1001, 20),
                { "MoveTo 10 10", "LineTo 1001 20" } },
            { "x2 1002 folds", SlideBytes::newForm(1000, 500).vector(10, 10, 1002, 20),
                { "MoveTo 10 10", "LineTo 64533 20" } },
            { "y2 beyond yDots + 1 folds", SlideBytes::newForm(1000, 500).vector(1, 1, 1, 65534),
                { "MoveTo 1 1", "LineTo 1 1" } },
            { "from point is never folded", SlideBytes::newForm(1000, 500).vector(5000, 1, 1, 1),
                { "MoveTo 5000 1", "LineTo 1 1" } },
            { "offset from (5,5) by -10 clamps to 0",
                SlideBytes::newForm(100, 100).vector(5, 5, 6, 6).offsetVector(-10, 0, 1, 1),
                { "MoveTo 5 5", "LineTo 6 6", "MoveTo 0 5", "LineTo 6 6" } },
            { "-1 itself stays", SlideBytes::newForm(100, 100).offsetVector(-1, -1, 3, 3),
                { "MoveTo -1 -1", "LineTo 3 3" } },
            { "-2 clamps", SlideBytes::newForm(100, 100).offsetVector(-2, -2, 3, 3),
                { "MoveTo 0 0", "LineTo 3 3" } },
            { "common endpoint runs back to the last point",
                SlideBytes::newForm(100, 100).vector(20, 30, 0, 0).commonEndpoint(4, -3),
                { "MoveTo 20 30", "LineTo 0 0", "MoveTo 24 27", "LineTo 20 30" } },
            { "the last point starts at (0, 0)", SlideBytes::newForm(100, 100).commonEndpoint(2, 3),
                { "MoveTo 2 3", "LineTo 0 0" } },
            { "0x80 and 0xFA are two-byte skips",
                SlideBytes::newForm(100, 100).word(0x8000).word(0xFA55).vector(1, 2, 3, 4),
                { "MoveTo 1 2", "LineTo 3 4" } },
            { "nothing after the end record", SlideBytes::newForm(100, 100).end().vector(1, 2, 3, 4), {} },
            { "a cut-off vector is not drawn", SlideBytes::newForm(100, 100).word(1).word(2).word(3), {} },
            { "a cut-off offset vector is not drawn", SlideBytes::newForm(100, 100).word(0xFB01).byte(1),
                {} },
        };
        for (Case& c : cases) {
            RecordingSurface s(100, 100);
            record(s, c.slide.b);
            std::vector<std::string> got;
            for (const auto& l : s.log)
                if (l.rfind("MoveTo", 0) == 0 || l.rfind("LineTo", 0) == 0) got.push_back(l);
            EXPECT_EQ(got, c.want) << c.what;
        }
    }

    TEST(Renderer, Fills)
    {
        RecordingSurface s(100, 100);
        record(s,
            SlideBytes::newForm(1000, 500)
                .fill({})
                .vector(1, 1, 2, 2)
                .fill({ { 1000, 500 }, { 1001, 501 }, { 0, 65535 } })
                .b);
        EXPECT_EQ(s.calls("LineTo").size(), 1u) << "a fill of 0 vertices takes 6 bytes and draws nothing";
        ASSERT_EQ(s.polygons.size(), 1u);
        std::vector<Point> want { { 1000, 500 }, { 64534, 65034 }, { 0, 0 } };
        EXPECT_EQ(s.polygons[0], want) << "vertices fold against the extent itself";
        EXPECT_EQ(s.calls("SetPolyFillMode"), std::vector<std::string> { "SetPolyFillMode 2" });

        RecordingSurface cut(100, 100);
        std::string b = SlideBytes::newForm(1000, 500).fill({ { 1, 1 }, { 5, 5 }, { 9, 1 } }).b;
        record(cut, b.substr(0, b.size() - 1));
        EXPECT_TRUE(cut.polygons.empty()) << "a fill cut short draws none of its vertices";
    }

    // The pixels, on a 10 x 10 raster where a 9 x 9 slide maps one to one with
    // y flipped: logical (x, y) is pixel (x, 9 - y).
    TEST(Renderer, Pixels)
    {
        auto render = [](const SlideBytes& b) {
            RasterSurface s(10, 10);
            testing::renderTo(s, b.b);
            return s;
        };
        RasterSurface dot = render(SlideBytes::newForm(9, 9).vector(3, 4, 3, 4));
        EXPECT_EQ(testing::countPixels(dot), 1) << "a zero-length vector sets exactly one pixel";
        EXPECT_EQ(dot.pixel(3, 5), WHITE);

        RasterSurface line = render(SlideBytes::newForm(9, 9).vector(0, 0, 5, 0));
        EXPECT_EQ(testing::countPixels(line), 5) << "the end pixel is left out";
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(line.pixel(x, 9), WHITE);

        RasterSurface colours = render(SlideBytes::newForm(9, 9)
                                           .color(250)
                                           .vector(0, 0, 0, 0)
                                           .color(1)
                                           .vector(1, 0, 1, 0)
                                           .color(0)
                                           .vector(2, 0, 2, 0)
                                           .color(7)
                                           .vector(3, 0, 3, 0));
        EXPECT_EQ(colours.pixel(0, 9), rgb(95, 95, 95));
        EXPECT_EQ(colours.pixel(1, 9), rgb(255, 0, 0));
        EXPECT_EQ(colours.pixel(2, 9), rgb(0, 0, 0));
        EXPECT_EQ(colours.pixel(3, 9), WHITE);

        RasterSurface square
            = render(SlideBytes::newForm(9, 9).color(3).fill({ { 1, 1 }, { 4, 1 }, { 4, 4 }, { 1, 4 } }));
        EXPECT_EQ(testing::countPixels(square), 16) << "filled and outlined, closing edge included";
        EXPECT_EQ(square.pixel(1, 5), rgb(0, 255, 0));
        EXPECT_EQ(square.pixel(4, 8), rgb(0, 255, 0));

        RasterSurface old = render(SlideBytes::oldForm(9, 9).vector(2, 2, 2, 2));
        EXPECT_EQ(old.pixel(2, 7), WHITE) << "old-form records start at byte 34";
        EXPECT_EQ(testing::countPixels(old), 1);
    }

    TEST(Renderer, FaultyHeaderStillDraws)
    {
        RasterSurface s(10, 10);
        std::string b = SlideBytes::newForm(9, 9, 0, 0x3412).vector(3, 3, 3, 3).b;
        EXPECT_EQ(testing::renderTo(s, b), InvalidSlide);
        EXPECT_EQ(testing::countPixels(s), 1);
        RasterSurface e(10, 10);
        EXPECT_EQ(testing::renderTo(e, ""), InvalidSlide) << "an empty stream: result 3, nothing drawn";
        EXPECT_EQ(testing::countPixels(e), 0);
    }

    // Hostile fills: memory stays at one fill's vertices, and the fill work of a
    // drawing stops at its budget (later fills are outlined only).
    TEST(Renderer, FillBounds)
    {
        SlideBytes b = SlideBytes::newForm(1000, 1000);
        std::vector<std::pair<unsigned, unsigned>> zigzag;
        for (unsigned i = 0; i < 65535; ++i)
            zigzag.push_back({ (i * 7) % 1001, (i % 2) * 1000 });
        for (int k = 0; k < 3; ++k)
            b.fill(zigzag);
        // A budget of one and a half such fills at 32 rows: the first is filled.
        const std::int64_t budget = 65535 * 48;
        RasterSurface s(32, 32, 0, budget);
        SlideRenderer r;
        r.surface = &s;
        MemoryStream stream(b.b.data(), b.b.size());
        drawSlideStream(r, stream);
        EXPECT_LE(r.vertices.capacity(), 2u * 65535u);
        EXPECT_EQ(s.fillWork(), 65534 * 31)
            << "65534 slanted edges (the closing one is level), each over rows 0 to 30";
        EXPECT_EQ(s.fillsRefused(), 2) << "later fills are outlined only";
        EXPECT_GT(testing::countPixels(s), 32 * 30);
        s.clear(0);
        EXPECT_EQ(s.fillWork(), 0) << "a new drawing has a new budget";

        std::string claim
            = SlideBytes::newForm(10, 10).word(0xFD00).word(65535).word(0).word(0).word(1).word(1).b;
        SlideRenderer q;
        RasterSurface t(8, 8);
        q.surface = &t;
        MemoryStream cs(claim.data(), claim.size());
        drawSlideStream(q, cs);
        EXPECT_LT(q.vertices.capacity(), 16u) << "vertices are kept only as they arrive";
    }

} // namespace
} // namespace qorvan::slide
