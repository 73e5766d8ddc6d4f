// The slide picture: a black rectangle that keeps the last slide drawn into
// it, so a preview that is covered and uncovered shows its slide again.
#pragma once

#include "slide/raster_surface.h"
#include "slide/window.h"

#include <QImage>
#include <QWidget>

#include <memory>

namespace qorvan::ui {

class PictureControl : public QWidget, public slide::Window {
    Q_OBJECT
public:
    PictureControl(bool clientEdge, QWidget* parent);
    ~PictureControl() override;

    // The window a slide is drawn into: the client area inside the edge.
    slide::Rect GetClientRect() const override;
    void InvalidateAndUpdate() override;
    // A raster surface of the client's size, black; what is drawn on it
    // becomes the picture when it is released.
    slide::Surface* GetSurface() override;
    void ReleaseSurface(slide::Surface* surface) override;

    // The drawing area inside the edge, in this widget's coordinates.
    QRect clientRect() const;
    // Erases the picture to black and repaints at once.
    void eraseToBlack();
    // What the control shows inside its edge: black and the last drawing.
    const QImage& image() const { return image_; }
    // Replaces the drawing; the image is scaled to nothing: it is drawn at the
    // client's top left, clipped to the client.
    void setImage(const QImage& image);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int edge_;
    QImage image_;
    std::unique_ptr<slide::RasterSurface> surface_;
};

} // namespace qorvan::ui
