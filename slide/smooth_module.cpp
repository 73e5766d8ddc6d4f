// qorvan-smooth.so: the smooth style's drawing, over the slide code and
// Cairo (see slide/smooth_loader.h for why it stands apart).
#include "slide/cairo_surface.h"
#include "slide/smooth_loader.h"

namespace qorvan::slide {

extern "C" __attribute__((visibility("default"))) int qorvan_smooth_draw(
    const SmoothJob* job, SmoothAppend append, void* closure)
{
    // Nothing may be thrown across into a program with another runtime.
    try {
        CairoSurface surface(job->width, job->height, job->background,
            job->svg ? CairoSurface::Output::Svg : CairoSurface::Output::Png);
        if (!surface.valid()) return -1;
        int header = drawSlideBytes(surface, nullptr, job->bytes, job->size, job->look);
        std::string encoded;
        if (!surface.finish(encoded)) return -1;
        append(closure, encoded.data(), encoded.size());
        return header;
    } catch (...) {
        return -1;
    }
}

} // namespace qorvan::slide
