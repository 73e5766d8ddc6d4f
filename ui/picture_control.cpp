// The slide picture control.
#include "ui/picture_control.h"

#include <QPainter>

#include <algorithm>

namespace qorvan::ui {

PictureControl::PictureControl(bool clientEdge, QWidget* parent)
    : QWidget(parent)
    , edge_(clientEdge ? 2 : 0)
{
    // Opaque: the dialog under it never needs repainting for it, which keeps
    // a dialog that draws its slide on every paint from painting forever.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

PictureControl::~PictureControl() = default;

slide::Rect PictureControl::GetClientRect() const
{
    QRect c = clientRect();
    return { 0, 0, std::max(0, c.width()), std::max(0, c.height()) };
}

void PictureControl::InvalidateAndUpdate()
{
    eraseToBlack();
}

slide::Surface* PictureControl::GetSurface()
{
    slide::Rect r = GetClientRect();
    surface_ = std::make_unique<slide::RasterSurface>(r.width(), r.height(), 0);
    if (surface_->width() <= 0 || surface_->height() <= 0) {
        surface_.reset();
        return nullptr;
    }
    return surface_.get();
}

void PictureControl::ReleaseSurface(slide::Surface* surface)
{
    if (!surface_ || surface != surface_.get()) return;
    const slide::RasterSurface& s = *surface_;
    QImage image(s.width(), s.height(), QImage::Format_RGB32);
    for (int y = 0; y < s.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < s.width(); ++x) {
            slide::ColorRef c = s.pixel(x, y);
            line[x] = qRgb(static_cast<int>(slide::redOf(c)), static_cast<int>(slide::greenOf(c)),
                static_cast<int>(slide::blueOf(c)));
        }
    }
    surface_.reset();
    image_ = image;
    update();
}

QRect PictureControl::clientRect() const
{
    return rect().adjusted(edge_, edge_, -edge_, -edge_);
}

void PictureControl::eraseToBlack()
{
    QSize size = clientRect().size().expandedTo(QSize(0, 0));
    if (image_.size() != size) image_ = QImage(size, QImage::Format_RGB32);
    image_.fill(Qt::black);
    // A scheduled repaint, not an immediate one: this runs inside the View
    // Slide dialog's own paint, and the image is what gets painted anyway.
    update();
}

void PictureControl::setImage(const QImage& image)
{
    image_ = image.convertToFormat(QImage::Format_RGB32);
    update();
}

void PictureControl::resizeEvent(QResizeEvent*)
{
    QSize size = clientRect().size().expandedTo(QSize(0, 0));
    if (image_.size() != size) {
        QImage resized(size, QImage::Format_RGB32);
        resized.fill(Qt::black);
        QPainter p(&resized);
        p.drawImage(0, 0, image_);
        image_ = resized;
    }
}

void PictureControl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (edge_ > 0) {
        // The sunken client edge: dark above and left, light below and right.
        QRect r = rect();
        p.fillRect(r, palette().window());
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        p.setPen(palette().color(QPalette::Dark));
        p.drawLine(r.left() + 1, r.top() + 1, r.right() - 1, r.top() + 1);
        p.drawLine(r.left() + 1, r.top() + 1, r.left() + 1, r.bottom() - 1);
    }
    QRect c = clientRect();
    p.fillRect(c, Qt::black);
    p.setClipRect(c);
    p.drawImage(c.topLeft(), image_);
}

} // namespace qorvan::ui
