#include "slide/mapping.h"

#include <cstdint>
#include <cstdlib>

namespace qorvan::slide {

namespace {

    // round(n / d) with halves away from zero; d != 0.
    std::int64_t roundDiv(std::int64_t n, std::int64_t d)
    {
        if (d < 0) n = -n, d = -d;
        std::int64_t q = (std::llabs(n) * 2 + d) / (2 * d);
        return n < 0 ? -q : q;
    }

    std::int32_t clampDevice(std::int64_t v)
    {
        if (v > DEVICE_COORD_LIMIT) return DEVICE_COORD_LIMIT;
        if (v < -DEVICE_COORD_LIMIT) return -DEVICE_COORD_LIMIT;
        return static_cast<std::int32_t>(v);
    }

    std::int32_t withSign(std::int64_t magnitude, std::int32_t signOf)
    {
        return static_cast<std::int32_t>(signOf < 0 ? -magnitude : magnitude);
    }

} // namespace

Size Mapping::effectiveViewportExt() const
{
    if (mode == MM_TEXT) return { 1, 1 };
    if (mode != MM_ISOTROPIC) return viewportExt;
    std::int64_t wx = std::llabs(windowExt.cx), wy = std::llabs(windowExt.cy);
    std::int64_t vx = std::llabs(viewportExt.cx), vy = std::llabs(viewportExt.cy);
    Size v = viewportExt;
    // Compare vx / wx with vy / wy without dividing.
    if (vx * wy > vy * wx)
        v.cx = withSign(roundDiv(wx * vy, wy), viewportExt.cx);
    else if (vx * wy < vy * wx)
        v.cy = withSign(roundDiv(wy * vx, wx), viewportExt.cy);
    return v;
}

Point Mapping::toDevice(Point p) const
{
    toDevice(&p, 1, &p);
    return p;
}

void Mapping::toDevice(const Point* in, std::size_t count, Point* out) const
{
    if (mode == MM_TEXT) {
        for (std::size_t i = 0; i < count; ++i)
            out[i] = { in[i].x - windowOrg.x + viewportOrg.x, in[i].y - windowOrg.y + viewportOrg.y };
        return;
    }
    const Size v = effectiveViewportExt();
    for (std::size_t i = 0; i < count; ++i) {
        const Point p = in[i];
        std::int64_t x = roundDiv((std::int64_t { p.x } - windowOrg.x) * v.cx, windowExt.cx) + viewportOrg.x;
        std::int64_t y = roundDiv((std::int64_t { p.y } - windowOrg.y) * v.cy, windowExt.cy) + viewportOrg.y;
        out[i] = { clampDevice(x), clampDevice(y) };
    }
}

void Mapping::toDeviceExact(Point p, double& x, double& y) const
{
    if (mode == MM_TEXT) {
        x = static_cast<double>(p.x) - windowOrg.x + viewportOrg.x;
        y = static_cast<double>(p.y) - windowOrg.y + viewportOrg.y;
        return;
    }
    Size v = effectiveViewportExt();
    x = (static_cast<double>(p.x) - windowOrg.x) * v.cx / windowExt.cx + viewportOrg.x;
    y = (static_cast<double>(p.y) - windowOrg.y) * v.cy / windowExt.cy + viewportOrg.y;
}

int Mapping::setMode(int newMode)
{
    int old = mode;
    if (newMode == MM_TEXT || newMode == MM_ISOTROPIC) mode = newMode;
    return old;
}

Size Mapping::setWindowExt(int cx, int cy)
{
    Size old = windowExt;
    if (mode == MM_ISOTROPIC && cx != 0 && cy != 0) windowExt = { cx, cy };
    return old;
}

Size Mapping::setViewportExt(int cx, int cy)
{
    Size old = viewportExt;
    if (mode == MM_ISOTROPIC && cx != 0 && cy != 0) viewportExt = { cx, cy };
    return old;
}

Point Mapping::setViewportOrg(int x, int y)
{
    Point old = viewportOrg;
    viewportOrg = { x, y };
    return old;
}

Point Mapping::setWindowOrg(int x, int y)
{
    Point old = windowOrg;
    windowOrg = { x, y };
    return old;
}

} // namespace qorvan::slide
