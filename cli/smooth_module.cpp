// qorvan-smooth.so: the smooth style's drawing, over the slide code and
// Cairo (see cli/smooth.h for why it stands apart).
#include "cli/smooth.h"
#include "slide/cairo_surface.h"

extern "C" __attribute__((visibility("default"))) int qorvan_smooth_draw(
    const qorvan::cli::SmoothJob* job, std::string* encoded)
{
    using namespace qorvan::slide;
    CairoSurface surface(job->width, job->height, job->background,
        job->svg ? CairoSurface::Output::Svg : CairoSurface::Output::Png);
    if (!surface.valid()) return -1;
    int header = drawSlideBytes(surface, nullptr, job->bytes, job->size, job->look);
    if (!surface.finish(*encoded)) return -1;
    return header;
}
