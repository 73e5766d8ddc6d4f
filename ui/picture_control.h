// The slide picture: a black rectangle that keeps the last slide drawn into
// it, so a preview that is covered and uncovered shows its slide again.
#pragma once

#include <QImage>
#include <QWidget>

namespace qorvan::ui {

class PictureControl : public QWidget {
    Q_OBJECT
public:
    PictureControl(bool clientEdge, QWidget* parent);

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
};

} // namespace qorvan::ui
