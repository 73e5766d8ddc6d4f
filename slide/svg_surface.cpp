#include "slide/svg_surface.h"

#include <cstdio>

#include "platform/io.h"
#include "platform/resolve.h"
#include "platform/save_file.h"

namespace qorvan::slide {

namespace {

std::string hex(ColorRef c)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", redOf(c), greenOf(c), blueOf(c));
    return buf;
}

void appendf(std::string& out, const char* fmt, auto... args)
{
    char buf[160];
    int n = std::snprintf(buf, sizeof buf, fmt, args...);
    if (n > 0) out.append(buf, static_cast<std::size_t>(n) < sizeof buf ? static_cast<std::size_t>(n) : sizeof buf - 1);
}

} // namespace

SvgSurface::SvgSurface(int width, int height, ColorRef background, bool smooth)
    : DeviceContext({0, 0, width > 0 ? width : 0, height > 0 ? height : 0}), width_(width > 0 ? width : 0),
      height_(height > 0 ? height : 0), background_(background), smooth_(smooth)
{
}

// Two decimals are a hundredth of a pixel: finer than any viewer shows.
void SvgSurface::place(Point p, std::string& out) const
{
    double x, y;
    mapping().toDeviceExact(p, x, y);
    for (double v : {x + 0.5, y + 0.5}) {
        char buf[32];
        int n = std::snprintf(buf, sizeof buf, "%.2f", v);
        while (n > 0 && buf[n - 1] == '0') --n;
        if (n > 0 && buf[n - 1] == '.') --n;
        if (!out.empty() && out.back() != 'M' && out.back() != 'L') out += ' ';
        out.append(buf, static_cast<std::size_t>(n));
    }
}

void SvgSurface::flushLines()
{
    if (lines_.empty()) return;
    body_ += "<path d=\"" + lines_ + "\" stroke=\"" + hex(linesColor_) + "\"/>\n";
    lines_.clear();
}

bool SvgSurface::LineTo(int x, int y)
{
    if (!smooth_) return DeviceContext::LineTo(x, y);
    Point from = position();
    ColorRef color = GetObjectColor(GetCurrentObject(ObjectKind::Pen));
    if (!(from == Point{x, y})) {
        if (!lines_.empty() && (color != linesColor_ || !(clipRect() == groupClip_))) flushLines();
        openClipGroup();
        linesColor_ = color;
        if (lines_.empty() || !(from == linesEnd_)) {
            lines_ += 'M';
            place(from, lines_);
        }
        lines_ += 'L';
        linesEnd_ = {x, y};
        place({x, y}, lines_);
    }
    return DeviceContext::LineTo(x, y);
}

ColorRef SvgSurface::SetPixel(int x, int y, ColorRef color)
{
    if (!smooth_) return DeviceContext::SetPixel(x, y, color);
    flushLines();
    openClipGroup();
    double px, py;
    mapping().toDeviceExact({x, y}, px, py);
    appendf(body_, "<rect x=\"%.2f\" y=\"%.2f\" width=\"1\" height=\"1\" fill=\"%s\"/>\n", px, py,
            hex(color).c_str());
    return color;
}

bool SvgSurface::Polygon(const Point* points, int count)
{
    if (!smooth_) return DeviceContext::Polygon(points, count);
    if (count < 2) return false;
    flushLines();
    openClipGroup();
    std::string d = "M";
    for (int i = 0; i < count; ++i) {
        if (i) d += 'L';
        place(points[i], d);
    }
    body_ += "<path d=\"" + d + "Z\" fill=\"" + hex(GetObjectColor(GetCurrentObject(ObjectKind::Brush))) + "\"";
    if (fillMode() != WINDING) body_ += " fill-rule=\"evenodd\"";
    body_ += " stroke=\"" + hex(GetObjectColor(GetCurrentObject(ObjectKind::Pen))) + "\"/>\n";
    return true;
}

// Primitives are grouped under one clip path for as long as the clip stays.
void SvgSurface::openClipGroup()
{
    Rect c = clipRect();
    if (groupOpen_ && c == groupClip_) return;
    flushLines();
    if (groupOpen_) body_ += "</g>\n";
    ++clipCount_;
    appendf(body_, "<clipPath id=\"c%d\"><rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\"/></clipPath>\n", clipCount_,
            c.left, c.top, c.width(), c.height());
    appendf(body_, "<g clip-path=\"url(#c%d)\">\n", clipCount_);
    groupClip_ = c;
    groupOpen_ = true;
}

void SvgSurface::deviceLine(Point a, Point b, ColorRef color)
{
    if (a == b) return;
    openClipGroup();
    appendf(body_, "<line x1=\"%d.5\" y1=\"%d.5\" x2=\"%d.5\" y2=\"%d.5\" stroke=\"%s\"/>\n", a.x, a.y, b.x, b.y,
            hex(color).c_str());
}

void SvgSurface::devicePixel(Point p, ColorRef color)
{
    openClipGroup();
    appendf(body_, "<rect x=\"%d\" y=\"%d\" width=\"1\" height=\"1\" fill=\"%s\"/>\n", p.x, p.y, hex(color).c_str());
}

void SvgSurface::devicePolygon(const std::vector<Point>& points, int fillMode, ColorRef fill, ColorRef pen)
{
    openClipGroup();
    body_ += "<polygon points=\"";
    for (const Point& p : points) appendf(body_, "%d.5,%d.5 ", p.x, p.y);
    if (!points.empty()) body_.pop_back();
    appendf(body_, "\" fill=\"%s\" fill-rule=\"%s\" stroke=\"%s\"/>\n", hex(fill).c_str(),
            fillMode == WINDING ? "nonzero" : "evenodd", hex(pen).c_str());
}

std::string SvgSurface::document() const
{
    std::string out;
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    appendf(out, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">\n", width_,
            height_, width_, height_);
    // A background beyond the 24 colour bits (TRANSPARENT_BACKGROUND) is no
    // colour at all: the picture is left transparent.
    if (background_ <= 0xFFFFFFu)
        appendf(out, "<rect width=\"%d\" height=\"%d\" fill=\"%s\"/>\n", width_, height_, hex(background_).c_str());
    out += smooth_ ? "<g stroke-width=\"1\" stroke-linecap=\"round\" stroke-linejoin=\"round\" fill=\"none\">\n"
                   : "<g stroke-width=\"1\" stroke-linecap=\"butt\" shape-rendering=\"crispEdges\">\n";
    out += body_;
    if (!lines_.empty())
        out += "<path d=\"" + lines_ + "\" stroke=\"" + hex(linesColor_) + "\"/>\n";
    if (groupOpen_) out += "</g>\n";
    out += "</g>\n</svg>\n";
    return out;
}

bool SvgSurface::save(const std::string& path) const
{
    std::string doc = document();
    platform::SaveFile out;
    if (!out.open(platform::resolveForCreate(path))) return false;
    return out.write(doc.data(), doc.size()) && out.commit();
}

} // namespace qorvan::slide
