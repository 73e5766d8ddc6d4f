// The object table of a surface stays as small as the objects alive at once:
// colour records create and delete a pen and a brush each, and a hostile
// slide may hold millions of them.
#include <gtest/gtest.h>

#include "slide/raster_surface.h"
#include "slide/svg_surface.h"
#include "tests/slide/slide_builder.h"

namespace qorvan::slide {
namespace {

    using testing::SlideBytes;

    TEST(ObjectTable, ManyColourRecordsReuseSlots)
    {
        SlideBytes s = SlideBytes::newForm(10, 10);
        for (int i = 0; i < 200000; ++i)
            s.color(static_cast<unsigned>(i % 256));
        s.color(1).vector(5, 5, 5, 5).end(); // red: the last colour is the one in use

        RasterSurface raster(11, 11);
        EXPECT_EQ(testing::renderTo(raster, s.b), 0);
        EXPECT_EQ(raster.liveObjects(), 0);
        // Two stock objects, the renderer's pen and brush, and one of each being
        // replaced: a handful, not 400 000.
        EXPECT_LE(raster.objectSlots(), 8u);
        EXPECT_EQ(raster.pixel(5, 5), rgb(255, 0, 0));
    }

    TEST(ObjectTable, ReusedHandleIsTheNewObject)
    {
        SvgSurface svg(4, 4);
        Handle first = svg.CreatePen(PS_SOLID, 0, rgb(1, 2, 3));
        ASSERT_TRUE(svg.DeleteObject(first));
        Handle second = svg.CreateSolidBrush(rgb(4, 5, 6));
        EXPECT_EQ(svg.GetObjectColor(second), rgb(4, 5, 6));
        // A handle kept after its object was deleted names whatever took the slot
        // (as with the graphics system); selecting it selects that object.
        Handle previous = svg.SelectObject(second);
        EXPECT_EQ(svg.GetCurrentObject(ObjectKind::Brush), second);
        EXPECT_NE(previous, NO_OBJECT);
        EXPECT_FALSE(svg.DeleteObject(second)); // selected
        EXPECT_TRUE(svg.DeleteObject(svg.CreateRectRgn(0, 0, 1, 1)));
        EXPECT_FALSE(svg.DeleteObject(123456)); // never created
    }

} // namespace
} // namespace qorvan::slide
