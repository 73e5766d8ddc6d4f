// The View Slide dialog (template 141): one slide in a picture of the
// requested size, drawn afresh on every paint, with OK centred below.
#pragma once

#include "ui/dialogs.h"
#include "ui/template_dialog.h"

#include <string>

namespace qorvan::ui {

class PictureControl;

class ViewSlideDialog : public TemplateDialog {
    Q_OBJECT
public:
    explicit ViewSlideDialog(QWidget* parent = nullptr);

    void SetTitle(const std::string& title);
    // Sets the reference and the title (the reference upper-cased, taken
    // before ".SLD" is added to a reference without '.').
    void SetSlideRef(const std::string& ref);
    void SetSize(int width, int height);

    const std::string& title() const { return title_; }
    const std::string& slideRef() const { return slideRef_; }
    int pictureWidth() const { return width_; }
    int pictureHeight() const { return height_; }
    PictureControl* picture() const;
    // How many paints have drawn the slide.
    int paints() const { return paints_; }

protected:
    bool OnInitDialog() override;
    void paintEvent(QPaintEvent* event) override;

private:
    void reportFailure();

    std::string title_ = "View Slide";
    std::string slideRef_;
    int width_ = VIEW_SLIDE_DEFAULT_WIDTH;
    int height_ = VIEW_SLIDE_DEFAULT_HEIGHT;
    int paints_ = 0;
    bool reportPending_ = false;
    bool reportOpen_ = false;
    qint64 reportClosedAt_ = -1;
};

} // namespace qorvan::ui
