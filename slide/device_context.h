// The bookkeeping every surface shares: pens, brushes and regions as handles,
// the selected objects, the mapping, the current position and the clip
// rectangle. A concrete surface draws device-space primitives only.
#pragma once

#include <vector>

#include "slide/mapping.h"
#include "slide/surface.h"

namespace qorvan::slide {

class DeviceContext : public Surface {
public:
    explicit DeviceContext(Rect bounds);

    Rect GetClientRect() const override { return bounds_; }
    int SetMapMode(int mode) override { return mapping_.setMode(mode); }
    Size SetWindowExt(int cx, int cy) override { return mapping_.setWindowExt(cx, cy); }
    Size SetViewportExt(int cx, int cy) override { return mapping_.setViewportExt(cx, cy); }
    Point SetViewportOrg(int x, int y) override { return mapping_.setViewportOrg(x, y); }
    Point SetWindowOrg(int x, int y) override { return mapping_.setWindowOrg(x, y); }

    Handle CreatePen(int style, int width, ColorRef color) override;
    Handle CreateSolidBrush(ColorRef color) override;
    Handle CreateRectRgn(int left, int top, int right, int bottom) override;
    Handle SelectObject(Handle object) override;
    bool SelectClipRgn(Handle region) override;
    bool DeleteObject(Handle object) override;
    Handle GetCurrentObject(ObjectKind kind) const override;
    ColorRef GetObjectColor(Handle object) const override;

    Point MoveTo(int x, int y) override;
    bool LineTo(int x, int y) override;
    ColorRef SetPixel(int x, int y, ColorRef color) override;
    int SetPolyFillMode(int mode) override;
    bool Polygon(const Point* points, int count) override;

    const Mapping& mapping() const { return mapping_; }
    // Device rectangle everything is clipped to.
    Rect clipRect() const { return clip_; }
    // Objects created and not yet deleted (the stock pen and brush excluded).
    int liveObjects() const;
    // Slots of the object table, live and free: bounded by the most objects
    // alive at once, however many a drawing creates and deletes.
    std::size_t objectSlots() const { return objects_.size(); }

protected:
    // The current position, logical.
    Point position() const { return position_; }
    int fillMode() const { return fillMode_; }

    // Device-space drawing, already mapped; implementations clip to clipRect().
    // A line leaves out its end pixel.
    virtual void deviceLine(Point from, Point to, ColorRef color) = 0;
    virtual void devicePixel(Point p, ColorRef color) = 0;
    // Fills the interior by fillMode with fill and outlines every edge, the
    // closing one included, with pen. The default fills with deviceFill and
    // outlines with deviceLine.
    virtual void devicePolygon(const std::vector<Point>& points, int fillMode, ColorRef fill, ColorRef pen);
    virtual void deviceFill(const std::vector<Point>& points, int fillMode, ColorRef fill) = 0;

private:
    struct Object {
        ObjectKind kind;
        ColorRef color;
        Rect rect;
        bool live;
    };
    const Object* find(Handle h) const;
    Handle add(const Object& object);

    Rect bounds_;
    Rect clip_;
    Mapping mapping_;
    std::vector<Object> objects_; // handle = index + 1
    std::vector<Handle> free_; // deleted slots, reused first
    Handle pen_;
    Handle brush_;
    Point position_ { 0, 0 }; // logical
    int fillMode_ = ALTERNATE;
    std::vector<Point> devicePoints_;
};

} // namespace qorvan::slide
