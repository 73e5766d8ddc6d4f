// Draws arbitrary bytes as a slide onto a small raster surface. Beyond not
// crashing, a drawing must report a header result of 0, 2 or 3 and leave no
// pen, brush or region behind.
#include <cstdint>
#include <cstdlib>

#include "slide/raster_surface.h"
#include "slide/renderer.h"
#include "slide/stream.h"

using namespace qorvan::slide;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RasterSurface surface(97, 61);
    SlideRenderer renderer;
    renderer.surface = &surface;
    MemoryStream stream(data, size);
    int result = drawSlideStream(renderer, stream);
    if (result != 0 && result != 2 && result != 3) std::abort();
    if (surface.liveObjects() != 0) std::abort();
    return 0;
}
