// A window without a screen: its client area is a raster surface, erased to
// its background colour on InvalidateAndUpdate, like the dialogs' black
// picture controls. Tests and the command-line tool show slides in it.
#pragma once

#include "slide/raster_surface.h"
#include "slide/window.h"

namespace qorvan::slide {

class OffscreenWindow final : public Window {
public:
    OffscreenWindow(int width, int height, ColorRef background = 0);

    Rect GetClientRect() const override { return surface_.GetClientRect(); }
    void InvalidateAndUpdate() override;
    Surface* GetSurface() override;
    void ReleaseSurface(Surface* surface) override;

    const RasterSurface& surface() const { return surface_; }
    int surfacesOut() const { return surfacesOut_; }

private:
    RasterSurface surface_;
    ColorRef background_;
    int surfacesOut_ = 0;
};

} // namespace qorvan::slide
