#include "slide/offscreen_window.h"

namespace qorvan::slide {

OffscreenWindow::OffscreenWindow(int width, int height, ColorRef background)
    : surface_(width, height, background)
    , background_(background)
{
}

void OffscreenWindow::InvalidateAndUpdate()
{
    surface_.clear(background_);
}

Surface* OffscreenWindow::GetSurface()
{
    ++surfacesOut_;
    return &surface_;
}

// A released surface forgets its clip, as a window's device context does.
void OffscreenWindow::ReleaseSurface(Surface* surface)
{
    if (surface != &surface_) return;
    --surfacesOut_;
    surface_.SelectClipRgn(NO_OBJECT);
}

} // namespace qorvan::slide
