#include "slide/svg_surface.h"

#include <cstdio>
#include <utility>

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
        if (n > 0)
            out.append(
                buf, static_cast<std::size_t>(n) < sizeof buf ? static_cast<std::size_t>(n) : sizeof buf - 1);
    }

} // namespace

SvgSurface::SvgSurface(int width, int height, ColorRef background, bool smooth, Sink sink)
    : DeviceContext({ 0, 0, width > 0 ? width : 0, height > 0 ? height : 0 })
    , sink_(std::move(sink))
    , smooth_(smooth)
{
    width = width > 0 ? width : 0;
    height = height > 0 ? height : 0;
    out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    appendf(out_,
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">\n",
        width, height, width, height);
    // A background beyond the 24 colour bits (TRANSPARENT_BACKGROUND) is no
    // colour at all: the picture is left transparent.
    if (background <= 0xFFFFFFu)
        appendf(
            out_, "<rect width=\"%d\" height=\"%d\" fill=\"%s\"/>\n", width, height, hex(background).c_str());
    out_ += smooth_
        ? "<g stroke-width=\"1\" stroke-linecap=\"round\" stroke-linejoin=\"round\" fill=\"none\">\n"
        : "<g stroke-width=\"1\" stroke-linecap=\"butt\" shape-rendering=\"crispEdges\">\n";
}

// Pieces go out whole once they are large enough that a write per piece
// costs nothing beside the drawing.
void SvgSurface::spill()
{
    if (!sink_ || out_.size() < STREAM_PIECE) return;
    if (sinkOk_) sinkOk_ = sink_(out_.data(), out_.size());
    out_.clear();
}

// Two decimals are a hundredth of a pixel: finer than any viewer shows.
void SvgSurface::place(Point p, std::string& out) const
{
    double x, y;
    mapping().toDeviceExact(p, x, y);
    bool first = true;
    for (double v : { x + 0.5, y + 0.5 }) {
        char buf[32];
        int n = std::snprintf(buf, sizeof buf, "%.2f", v);
        while (n > 0 && buf[n - 1] == '0')
            --n;
        if (n > 0 && buf[n - 1] == '.') --n;
        if (!first) out += ' ';
        first = false;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

void SvgSurface::flushLines()
{
    if (!pathOpen_) return;
    out_ += "\" stroke=\"" + hex(linesColor_) + "\"/>\n";
    pathOpen_ = false;
    spill();
}

bool SvgSurface::LineTo(int x, int y)
{
    if (!smooth_) return DeviceContext::LineTo(x, y);
    Point from = position();
    ColorRef color = GetObjectColor(GetCurrentObject(ObjectKind::Pen));
    if (!(from == Point { x, y })) {
        if (pathOpen_ && (color != linesColor_ || !(clipRect() == groupClip_))) flushLines();
        openClipGroup();
        if (!pathOpen_) {
            out_ += "<path d=\"";
            pathOpen_ = true;
            linesColor_ = color;
            out_ += 'M';
            place(from, out_);
        } else if (!(from == linesEnd_)) {
            out_ += 'M';
            place(from, out_);
        }
        out_ += 'L';
        linesEnd_ = { x, y };
        place({ x, y }, out_);
        spill();
    }
    // The path is the line: drawing it again on the pixel grid as well
    // would thicken every line and double the document.
    DeviceContext::MoveTo(x, y);
    return true;
}

ColorRef SvgSurface::SetPixel(int x, int y, ColorRef color)
{
    if (!smooth_) return DeviceContext::SetPixel(x, y, color);
    flushLines();
    openClipGroup();
    double px, py;
    mapping().toDeviceExact({ x, y }, px, py);
    appendf(out_, "<rect x=\"%.2f\" y=\"%.2f\" width=\"1\" height=\"1\" fill=\"%s\"/>\n", px, py,
        hex(color).c_str());
    spill();
    return color;
}

bool SvgSurface::Polygon(const Point* points, int count)
{
    if (!smooth_) return DeviceContext::Polygon(points, count);
    if (count < 2) return false;
    flushLines();
    openClipGroup();
    out_ += "<path d=\"M";
    for (int i = 0; i < count; ++i) {
        if (i) out_ += 'L';
        place(points[i], out_);
    }
    out_ += "Z\" fill=\"" + hex(GetObjectColor(GetCurrentObject(ObjectKind::Brush))) + "\"";
    if (fillMode() != WINDING) out_ += " fill-rule=\"evenodd\"";
    out_ += " stroke=\"" + hex(GetObjectColor(GetCurrentObject(ObjectKind::Pen))) + "\"/>\n";
    spill();
    return true;
}

// Primitives are grouped under one clip path for as long as the clip stays.
void SvgSurface::openClipGroup()
{
    Rect c = clipRect();
    if (groupOpen_ && c == groupClip_) return;
    flushLines();
    if (groupOpen_) out_ += "</g>\n";
    ++clipCount_;
    appendf(out_, "<clipPath id=\"c%d\"><rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\"/></clipPath>\n",
        clipCount_, c.left, c.top, c.width(), c.height());
    appendf(out_, "<g clip-path=\"url(#c%d)\">\n", clipCount_);
    groupClip_ = c;
    groupOpen_ = true;
}

void SvgSurface::deviceLine(Point a, Point b, ColorRef color)
{
    if (a == b) return;
    openClipGroup();
    appendf(out_, "<line x1=\"%d.5\" y1=\"%d.5\" x2=\"%d.5\" y2=\"%d.5\" stroke=\"%s\"/>\n", a.x, a.y, b.x,
        b.y, hex(color).c_str());
    spill();
}

void SvgSurface::devicePixel(Point p, ColorRef color)
{
    openClipGroup();
    appendf(out_, "<rect x=\"%d\" y=\"%d\" width=\"1\" height=\"1\" fill=\"%s\"/>\n", p.x, p.y,
        hex(color).c_str());
    spill();
}

void SvgSurface::devicePolygon(const std::vector<Point>& points, int fillMode, ColorRef fill, ColorRef pen)
{
    openClipGroup();
    out_ += "<polygon points=\"";
    for (const Point& p : points)
        appendf(out_, "%d.5,%d.5 ", p.x, p.y);
    if (!points.empty()) out_.pop_back();
    appendf(out_, "\" fill=\"%s\" fill-rule=\"%s\" stroke=\"%s\"/>\n", hex(fill).c_str(),
        fillMode == WINDING ? "nonzero" : "evenodd", hex(pen).c_str());
    spill();
}

// What closes the document from where the drawing stands.
std::string SvgSurface::ending() const
{
    std::string out;
    if (pathOpen_) out += "\" stroke=\"" + hex(linesColor_) + "\"/>\n";
    if (groupOpen_) out += "</g>\n";
    out += "</g>\n</svg>\n";
    return out;
}

std::string SvgSurface::document() const
{
    return out_ + ending();
}

bool SvgSurface::finish()
{
    out_ += ending();
    pathOpen_ = groupOpen_ = false;
    if (sink_ && !out_.empty()) {
        if (sinkOk_) sinkOk_ = sink_(out_.data(), out_.size());
        out_.clear();
    }
    return sinkOk_;
}

bool SvgSurface::save(const std::string& path) const
{
    std::string doc = document();
    platform::SaveFile out;
    if (!out.open(platform::resolveForCreate(path))) return false;
    return out.write(doc.data(), doc.size()) && out.commit();
}

} // namespace qorvan::slide
