// The View Slide dialog.
#include "ui/view_slide_dialog.h"

#include "platform/path.h"
#include "store/slide_ref.h"
#include "store/status.h"
#include "ui/picture_control.h"
#include "ui/prompts.h"
#include "ui/slide_display.h"
#include "ui/view_slide_fit.h"

#include <QDateTime>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace qorvan::ui {

namespace {
    // A repaint that the closing failure box itself causes does not count as a
    // later repaint: without this pause a window system that exposes the dialog
    // again when the box goes would show the box for ever.
    constexpr qint64 REPORT_PAUSE_MS = 250;
} // namespace

ViewSlideDialog::ViewSlideDialog(QWidget* parent)
    : TemplateDialog(IDD_VIEW_SLIDE, parent)
{
}

void ViewSlideDialog::SetTitle(const std::string& title)
{
    title_ = title;
}

void ViewSlideDialog::SetSlideRef(const std::string& ref)
{
    slideRef_ = ref.substr(0, platform::MAX_PATH_CHARS);
    title_ = platform::toUpperAscii(slideRef_);
    // The tool's rules add ".SLD" only where no file is there as written.
    if (ReadsByToolRules()) return;
    const std::string withExtension = viewerSlideExtension(slideRef_);
    if (withExtension.size() <= platform::MAX_PATH_CHARS) slideRef_ = withExtension;
}

void ViewSlideDialog::SetSize(int width, int height)
{
    width_ = width;
    height_ = height;
}

PictureControl* ViewSlideDialog::picture() const
{
    return DlgItem<PictureControl>(IDC_VIEW_PICTURE);
}

bool ViewSlideDialog::OnInitDialog()
{
    setWindowTitle(QString::fromStdString(title_));
    PictureControl* pic = picture();
    auto* ok = DlgItem<QPushButton>(IDOK);
    if (!pic || !ok) return true;

    Size client { width(), height() };
    Size laidOut { pic->width(), pic->height() };
    Size around { client.width - laidOut.width, client.height - laidOut.height };
    QScreen* screen = this->screen();
    QSize avail = screen ? screen->availableGeometry().size() : QSize();
    Size wanted = clampPictureSize({ width_, height_ }, { avail.width(), avail.height() }, around);

    FitLayout f = fitLayout(client, laidOut, { ok->width(), ok->height() }, wanted);
    resize(f.client.width, f.client.height);
    pic->setGeometry(f.margin, f.margin, wanted.width, wanted.height);
    ok->move(f.okX, f.okY);
    return true;
}

void ViewSlideDialog::paintEvent(QPaintEvent* event)
{
    TemplateDialog::paintEvent(event);
    if (slideRef_.empty()) return;
    ++paints_;
    if (ShowSlide(picture(), slideRef_) != 0) reportFailure();
}

void ViewSlideDialog::reportFailure()
{
    if (reportPending_ || reportOpen_) return;
    if (reportClosedAt_ >= 0 && QDateTime::currentMSecsSinceEpoch() - reportClosedAt_ < REPORT_PAUSE_MS)
        return;
    // Shown after the paint, never from inside it: a modal box in a paint
    // handler would run a second event loop in the middle of painting.
    reportPending_ = true;
    std::string message = statusMessage();
    QTimer::singleShot(0, this, [this, message] {
        reportPending_ = false;
        reportOpen_ = true;
        prompts().messageBox(this, message, "", Buttons::Ok, Icon::None);
        reportOpen_ = false;
        reportClosedAt_ = QDateTime::currentMSecsSinceEpoch();
    });
}

} // namespace qorvan::ui
