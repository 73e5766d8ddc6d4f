#include "slide/cairo_surface.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>

#include "slide/raster_surface.h"

namespace qorvan::slide {

struct CairoSurface::State {
    Output output;
    std::string encoded;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    bool pending = false; // lines in the path, not yet stroked
    ColorRef pathColor = 0;
    Rect clip {};
    bool finished = false;
};

namespace {

    cairo_status_t append(void* closure, const unsigned char* data, unsigned int length)
    {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
    }

    void setColor(cairo_t* cr, ColorRef c)
    {
        cairo_set_source_rgb(cr, redOf(c) / 255.0, greenOf(c) / 255.0, blueOf(c) / 255.0);
    }

} // namespace

CairoSurface::CairoSurface(int width, int height, ColorRef background, Output output)
    : DeviceContext({ 0, 0, RasterSurface::sizeAllowed(width, height) ? width : 0,
        RasterSurface::sizeAllowed(width, height) ? height : 0 })
    , state_(std::make_unique<State>())
{
    state_->output = output;
    if (!RasterSurface::sizeAllowed(width, height)) return;
    state_->surface = output == Output::Svg
        ? cairo_svg_surface_create_for_stream(append, &state_->encoded, width, height)
        : cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    state_->cr = cairo_create(state_->surface);
    cairo_t* cr = state_->cr;
    if (background <= 0xFFFFFFu) {
        setColor(cr, background);
        cairo_paint(cr);
    }
    cairo_set_line_width(cr, 1.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    state_->clip = GetClientRect();
}

CairoSurface::~CairoSurface()
{
    if (state_->cr) cairo_destroy(state_->cr);
    if (state_->surface) cairo_surface_destroy(state_->surface);
}

bool CairoSurface::valid() const
{
    return state_->cr && cairo_status(state_->cr) == CAIRO_STATUS_SUCCESS;
}

// Pixel centres are at +0.5, as on the raster surface a point names the
// pixel whose top-left corner it is.
// Cairo holds coordinates in 24.8 fixed point; a point of a hostile slide
// scaled far beyond the picture is held well inside that range.
void CairoSurface::place(Point p, double& x, double& y) const
{
    constexpr double LIMIT = 1 << 22;
    mapping().toDeviceExact(p, x, y);
    x = std::clamp(x + 0.5, -LIMIT, LIMIT);
    y = std::clamp(y + 0.5, -LIMIT, LIMIT);
}

void CairoSurface::flush()
{
    if (!state_->pending) return;
    setColor(state_->cr, state_->pathColor);
    cairo_stroke(state_->cr);
    state_->pending = false;
}

// Everything drawn later must cover what came before, so a change of
// colour or of clip strokes the lines gathered so far.
void CairoSurface::use(ColorRef color)
{
    if (state_->pending && color != state_->pathColor) flush();
    state_->pathColor = color;
    Rect c = clipRect();
    if (c == state_->clip) return;
    flush();
    cairo_reset_clip(state_->cr);
    cairo_rectangle(state_->cr, c.left, c.top, c.width(), c.height());
    cairo_clip(state_->cr);
    state_->clip = c;
}

bool CairoSurface::LineTo(int x, int y)
{
    if (state_->cr && !state_->finished) {
        use(GetObjectColor(GetCurrentObject(ObjectKind::Pen)));
        double x0, y0, x1, y1;
        place(position(), x0, y0);
        place({ x, y }, x1, y1);
        if (x0 != x1 || y0 != y1) {
            cairo_move_to(state_->cr, x0, y0);
            cairo_line_to(state_->cr, x1, y1);
            state_->pending = true;
        }
    }
    return DeviceContext::LineTo(x, y);
}

ColorRef CairoSurface::SetPixel(int x, int y, ColorRef color)
{
    if (!state_->cr || state_->finished) return color;
    flush();
    use(color);
    double px, py;
    place({ x, y }, px, py);
    cairo_rectangle(state_->cr, px - 0.5, py - 0.5, 1, 1);
    setColor(state_->cr, color);
    cairo_fill(state_->cr);
    return color;
}

bool CairoSurface::Polygon(const Point* points, int count)
{
    if (count < 2) return false;
    if (!state_->cr || state_->finished) return true;
    cairo_t* cr = state_->cr;
    flush();
    ColorRef brush = GetObjectColor(GetCurrentObject(ObjectKind::Brush));
    use(brush);
    for (int i = 0; i < count; ++i) {
        double x, y;
        place(points[i], x, y);
        if (i == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    cairo_close_path(cr);
    cairo_set_fill_rule(cr, fillMode() == WINDING ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    setColor(cr, brush);
    cairo_fill_preserve(cr);
    // The outline joins the lines of the pen's colour, stroked later with
    // them; nothing drawn in between can come before it.
    ColorRef pen = GetObjectColor(GetCurrentObject(ObjectKind::Pen));
    if (pen == brush) {
        state_->pathColor = pen;
        state_->pending = true;
    } else {
        setColor(cr, pen);
        cairo_stroke(cr);
    }
    return true;
}

bool CairoSurface::finish(std::string& encoded)
{
    if (!state_->cr || state_->finished) return false;
    flush();
    state_->finished = true;
    bool ok = cairo_status(state_->cr) == CAIRO_STATUS_SUCCESS;
    if (state_->output == Output::Png) {
        cairo_surface_flush(state_->surface);
        ok = ok
            && cairo_surface_write_to_png_stream(state_->surface, append, &state_->encoded)
                == CAIRO_STATUS_SUCCESS;
    } else {
        cairo_surface_finish(state_->surface);
        ok = ok && cairo_surface_status(state_->surface) == CAIRO_STATUS_SUCCESS;
    }
    encoded = std::move(state_->encoded);
    return ok;
}

bool CairoSurface::finishPixels(std::uint8_t* rgba, std::size_t stride)
{
    if (!state_->cr || state_->finished || state_->output != Output::Png) return false;
    flush();
    state_->finished = true;
    if (cairo_status(state_->cr) != CAIRO_STATUS_SUCCESS) return false;
    cairo_surface_flush(state_->surface);
    const unsigned char* data = cairo_image_surface_get_data(state_->surface);
    if (!data) return false;
    const int width = cairo_image_surface_get_width(state_->surface);
    const int height = cairo_image_surface_get_height(state_->surface);
    const auto from = static_cast<std::size_t>(cairo_image_surface_get_stride(state_->surface));
    for (int y = 0; y < height; ++y) {
        // Cairo keeps each pixel as one native 32-bit word, its colour
        // multiplied by its alpha.
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(y) * from);
        std::uint8_t* out = rgba + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x, out += 4) {
            const std::uint32_t p = row[x];
            const unsigned a = p >> 24;
            auto straight = [a](unsigned c) {
                return static_cast<std::uint8_t>(a == 0 ? 0 : std::min(255u, (c * 255u + a / 2) / a));
            };
            out[0] = straight((p >> 16) & 0xFFu);
            out[1] = straight((p >> 8) & 0xFFu);
            out[2] = straight(p & 0xFFu);
            out[3] = static_cast<std::uint8_t>(a);
        }
    }
    return true;
}

} // namespace qorvan::slide
