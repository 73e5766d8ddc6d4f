#include "slide/device_context.h"

#include <algorithm>
#include <utility>

namespace qorvan::slide {

// Handles 1 and 2 are the stock white brush and black pen a fresh surface
// has selected, as a window's device context has.
DeviceContext::DeviceContext(Rect bounds)
    : bounds_(bounds)
    , clip_(bounds)
{
    objects_.push_back({ ObjectKind::Brush, rgb(255, 255, 255), {}, true });
    objects_.push_back({ ObjectKind::Pen, rgb(0, 0, 0), {}, true });
    brush_ = 1;
    pen_ = 2;
}

const DeviceContext::Object* DeviceContext::find(Handle h) const
{
    if (h == NO_OBJECT || h > objects_.size()) return nullptr;
    const Object& o = objects_[h - 1];
    return o.live ? &o : nullptr;
}

// A deleted object's slot is taken again, as the graphics system reuses
// handles: a slide of a million colour records then holds a few slots, not
// two million.
Handle DeviceContext::add(const Object& object)
{
    if (!free_.empty()) {
        Handle h = free_.back();
        free_.pop_back();
        objects_[h - 1] = object;
        return h;
    }
    objects_.push_back(object);
    return static_cast<Handle>(objects_.size());
}

Handle DeviceContext::CreatePen(int, int, ColorRef color)
{
    return add({ ObjectKind::Pen, color, {}, true });
}

Handle DeviceContext::CreateSolidBrush(ColorRef color)
{
    return add({ ObjectKind::Brush, color, {}, true });
}

Handle DeviceContext::CreateRectRgn(int left, int top, int right, int bottom)
{
    return add({ ObjectKind::Region, 0, { left, top, right, bottom }, true });
}

Handle DeviceContext::SelectObject(Handle h)
{
    const Object* o = find(h);
    if (!o) return NO_OBJECT;
    Handle old = NO_OBJECT;
    if (o->kind == ObjectKind::Pen)
        old = std::exchange(pen_, h);
    else if (o->kind == ObjectKind::Brush)
        old = std::exchange(brush_, h);
    return old;
}

bool DeviceContext::SelectClipRgn(Handle h)
{
    if (h == NO_OBJECT) {
        clip_ = bounds_;
        return true;
    }
    const Object* o = find(h);
    if (!o || o->kind != ObjectKind::Region) return false;
    // The region is copied, so it may be deleted while selected.
    clip_ = { std::max(bounds_.left, o->rect.left), std::max(bounds_.top, o->rect.top),
        std::min(bounds_.right, o->rect.right), std::min(bounds_.bottom, o->rect.bottom) };
    if (clip_.right < clip_.left) clip_.right = clip_.left;
    if (clip_.bottom < clip_.top) clip_.bottom = clip_.top;
    return true;
}

bool DeviceContext::DeleteObject(Handle h)
{
    if (!find(h) || h == pen_ || h == brush_ || h <= 2) return false;
    objects_[h - 1].live = false;
    free_.push_back(h);
    return true;
}

Handle DeviceContext::GetCurrentObject(ObjectKind kind) const
{
    if (kind == ObjectKind::Pen) return pen_;
    if (kind == ObjectKind::Brush) return brush_;
    return NO_OBJECT;
}

ColorRef DeviceContext::GetObjectColor(Handle h) const
{
    const Object* o = find(h);
    return o && o->kind != ObjectKind::Region ? o->color : 0;
}

int DeviceContext::liveObjects() const
{
    return static_cast<int>(
        std::count_if(objects_.begin() + 2, objects_.end(), [](const Object& o) { return o.live; }));
}

Point DeviceContext::MoveTo(int x, int y)
{
    return std::exchange(position_, Point { x, y });
}

bool DeviceContext::LineTo(int x, int y)
{
    const Point to { x, y };
    Point ends[2] = { position_, to };
    mapping_.toDevice(ends, 2, ends);
    deviceLine(ends[0], ends[1], GetObjectColor(pen_));
    position_ = to;
    return true;
}

ColorRef DeviceContext::SetPixel(int x, int y, ColorRef color)
{
    devicePixel(mapping_.toDevice({ x, y }), color);
    return color;
}

int DeviceContext::SetPolyFillMode(int mode)
{
    int old = fillMode_;
    if (mode == ALTERNATE || mode == WINDING) fillMode_ = mode;
    return old;
}

bool DeviceContext::Polygon(const Point* points, int count)
{
    if (count < 2) return false;
    devicePoints_.resize(static_cast<std::size_t>(count));
    mapping_.toDevice(points, devicePoints_.size(), devicePoints_.data());
    devicePolygon(devicePoints_, fillMode_, GetObjectColor(brush_), GetObjectColor(pen_));
    return true;
}

void DeviceContext::devicePolygon(const std::vector<Point>& points, int fillMode, ColorRef fill, ColorRef pen)
{
    deviceFill(points, fillMode, fill);
    for (std::size_t i = 0; i < points.size(); ++i)
        deviceLine(points[i], points[(i + 1) % points.size()], pen);
}

} // namespace qorvan::slide
