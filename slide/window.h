// The window a slide is shown in: what showSlide needs from a dialog's
// picture control (or from an offscreen stand-in in tests and tools).
#pragma once

#include "slide/surface.h"

namespace qorvan::slide {

class Window {
public:
    virtual ~Window() = default;

    // The client area in device pixels; left and top are 0.
    virtual Rect GetClientRect() const = 0;
    // Invalidates the whole client area with background erase and repaints
    // it at once, so the window's own background is there before drawing.
    virtual void InvalidateAndUpdate() = 0;
    // The surface that draws on the client area, with its clip region
    // selectable; null when none can be had. Handed back by ReleaseSurface.
    virtual Surface* GetSurface() = 0;
    virtual void ReleaseSurface(Surface* surface) = 0;
};

} // namespace qorvan::slide
