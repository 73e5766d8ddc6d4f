// Arbitrary bytes as a slide, drawn on a raster surface of fixed size.
#include <cstddef>
#include <cstdint>

#include "slide/raster_surface.h"
#include "slide/renderer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qorvan::slide;
    RasterSurface surface(97, 61);
    SlideRenderer renderer;
    renderer.surface = &surface;
    MemoryStream stream(data, size);
    int result = drawSlideStream(renderer, stream);
    if (result != 0 && result != 2 && result != 3) __builtin_trap();
    if (surface.liveObjects() != 0) __builtin_trap();
    return 0;
}
