// Logical to device coordinates for the text and isotropic mapping modes.
// Device = (logical - windowOrg) * viewportExt / windowExt + viewportOrg,
// rounded to the nearest pixel (halves away from zero). In the isotropic mode
// the viewport extent is shrunk on the axis with the larger scale so that a
// logical unit has the same size on both axes; signs are kept.
#pragma once

#include <cstddef>

#include "slide/surface.h"

namespace qorvan::slide {

struct Mapping {
    int mode = MM_TEXT;
    Size windowExt { 1, 1 };
    Size viewportExt { 1, 1 };
    Point windowOrg { 0, 0 };
    Point viewportOrg { 0, 0 };

    // The viewport extent after the isotropic adjustment (as set otherwise).
    Size effectiveViewportExt() const;
    Point toDevice(Point logical) const;
    // The same for count points (out may be in): the isotropic adjustment
    // is worked out once for all of them, which is most of the work of one.
    void toDevice(const Point* in, std::size_t count, Point* out) const;
    // The same without rounding, for surfaces that draw between pixels.
    void toDeviceExact(Point logical, double& x, double& y) const;

    // Setters that keep the graphics calls' rules: a zero extent is refused
    // (the old one stays) and extents only count in the isotropic mode.
    int setMode(int newMode);
    Size setWindowExt(int cx, int cy);
    Size setViewportExt(int cx, int cy);
    Point setViewportOrg(int x, int y);
    Point setWindowOrg(int x, int y);
};

// Device coordinates are kept within this bound, far outside any surface, so
// that later arithmetic cannot overflow.
inline constexpr int DEVICE_COORD_LIMIT = 1 << 29;

} // namespace qorvan::slide
