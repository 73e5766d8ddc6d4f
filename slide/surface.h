// The drawing surface the slide renderer draws on. Its operations carry the
// names of the platform graphics calls the renderer is written against, so
// the renderer reads in those terms and any surface (raster, SVG, recording,
// a dialog's picture) can sit underneath it.
//
// Objects (pens, brushes, regions) are small integer handles owned by the
// surface; 0 is "no object". Coordinates given to MoveTo, LineTo, SetPixel
// and Polygon are logical and go through the mapping set by SetMapMode and
// the extent and origin calls (see mapping.h).
#pragma once

#include <cstdint>

namespace qorvan::slide {

// A colour value: R + 256 * G + 65536 * B.
using ColorRef = std::uint32_t;

constexpr ColorRef rgb(unsigned r, unsigned g, unsigned b)
{
    return static_cast<ColorRef>((r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16));
}
constexpr unsigned redOf(ColorRef c)
{
    return c & 0xFFu;
}
constexpr unsigned greenOf(ColorRef c)
{
    return (c >> 8) & 0xFFu;
}
constexpr unsigned blueOf(ColorRef c)
{
    return (c >> 16) & 0xFFu;
}

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    std::int32_t cx = 0;
    std::int32_t cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// Device rectangle; right and bottom are exclusive.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

inline constexpr int MM_TEXT = 1;
inline constexpr int MM_ISOTROPIC = 7;

inline constexpr int ALTERNATE = 1;
inline constexpr int WINDING = 2;

inline constexpr int PS_SOLID = 0;

using Handle = std::uint32_t;
inline constexpr Handle NO_OBJECT = 0;

enum class ObjectKind { Pen, Brush, Region };

class Surface {
public:
    virtual ~Surface() = default;

    // The device rectangle this surface draws into.
    virtual Rect GetClientRect() const = 0;

    // Each returns the previous value, as the graphics calls do.
    virtual int SetMapMode(int mode) = 0;
    virtual Size SetWindowExt(int cx, int cy) = 0;
    virtual Size SetViewportExt(int cx, int cy) = 0;
    virtual Point SetViewportOrg(int x, int y) = 0;
    virtual Point SetWindowOrg(int x, int y) = 0;

    virtual Handle CreatePen(int style, int width, ColorRef color) = 0;
    virtual Handle CreateSolidBrush(ColorRef color) = 0;
    // A rectangular region in device coordinates.
    virtual Handle CreateRectRgn(int left, int top, int right, int bottom) = 0;
    // Selects a pen or brush and returns the one it replaces (NO_OBJECT on a
    // bad handle).
    virtual Handle SelectObject(Handle object) = 0;
    // Clips every later drawing to the region (NO_OBJECT: the whole surface).
    virtual bool SelectClipRgn(Handle region) = 0;
    // Fails for a selected object and for an unknown handle.
    virtual bool DeleteObject(Handle object) = 0;
    virtual Handle GetCurrentObject(ObjectKind kind) const = 0;
    // The colour a pen or brush was created with (0 for anything else).
    virtual ColorRef GetObjectColor(Handle object) const = 0;

    virtual Point MoveTo(int x, int y) = 0;
    virtual bool LineTo(int x, int y) = 0;
    virtual ColorRef SetPixel(int x, int y, ColorRef color) = 0;
    virtual int SetPolyFillMode(int mode) = 0;
    virtual bool Polygon(const Point* points, int count) = 0;
};

} // namespace qorvan::slide
