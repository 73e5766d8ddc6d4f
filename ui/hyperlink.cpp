// The hyperlink control.
#include "ui/hyperlink.h"

#include "ui/launch.h"
#include "ui/prompts.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace qorvan::ui {

const QColor CHyperLink::linkColor(0, 0, 255);
const QColor CHyperLink::activeColor(0, 128, 128);
const QColor CHyperLink::visitedColor(128, 0, 128);
const QColor CHyperLink::hoverColor(255, 0, 0);
std::optional<QCursor> CHyperLink::handCursor_;

CHyperLink::CHyperLink()
    : QLabel(nullptr)
{
    setTextFormat(Qt::PlainText);
    setMouseTracking(true);
}

CHyperLink::~CHyperLink()
{
    // The shared cursor goes with any link; the next to attach loads it again.
    handCursor_.reset();
    if (QWidget::mouseGrabber() == this) releaseMouse();
}

void CHyperLink::LoadHandCursor()
{
    if (!handCursor_) handCursor_ = QCursor(Qt::PointingHandCursor);
}

void CHyperLink::PreSubclassWindow()
{
    attached_ = true;
    if (target_.empty()) target_ = text().toStdString();
    if (text().isEmpty()) setText(QString::fromStdString(target_));
    // Every widget has a font here, so the autosize option always stays.
    QFont f = font();
    f.setUnderline((options_ & LinkUnderline) != 0);
    font_ = f;
    setFont(f);
    FitToText();
    if (!(options_ & LinkNoHandCursor)) LoadHandCursor();
    if (handCursor_) setCursor(*handCursor_);
    setToolTip(QString::fromStdString(target_));
}

void CHyperLink::SetTarget(const std::string& target)
{
    target_ = target;
    if (!attached_) return;
    hide();
    FitToText();
    setToolTip(QString::fromStdString(target_));
    show();
}

bool CHyperLink::ChangeOptions(std::uint32_t remove, std::uint32_t add, bool apply)
{
    if (remove & add) return false;
    options_ = (options_ & ~remove) | add;
    if (apply && attached_) {
        if ((remove | add) & LinkUnderline) {
            hide();
            QFont f = font();
            f.setUnderline((options_ & LinkUnderline) != 0);
            font_ = f;
            setFont(f);
            FitToText();
            show();
        }
        if (add & LinkAutoSize) FitToText();
        if (remove & LinkHoverColor) repaint();
    }
    return true;
}

void CHyperLink::FitToText()
{
    if (!(options_ & LinkAutoSize) || !attached_) return;
    QRect g = geometry();
    int left = g.x(), top = g.y(), right = g.x() + g.width(), bottom = g.y() + g.height();
    int extraW = g.width() - contentsRect().width();
    int extraH = g.height() - contentsRect().height();
    QSize extent = QFontMetrics(font_ ? *font_ : font()).size(Qt::TextSingleLine, text());
    int cx = extent.width(), cy = extent.height();
    std::uint32_t style = controlStyle(this);
    if (style & SS_CENTERIMAGE) {
        int d = ((bottom - top) - cy) / 2;
        top += d;
        bottom -= d;
    } else {
        bottom = top + cy;
    }
    std::uint32_t type = style & SS_TYPEMASK;
    if (type == SS_CENTER) {
        int d = ((right - left) - cx) / 2;
        left += d;
        right -= d;
    } else if (type == SS_RIGHT) {
        left = right - cx;
    } else {
        right = left + cx;
    }
    setGeometry(left, top, (right - left) + extraW, (bottom - top) + extraH);
    update();
}

QColor CHyperLink::textColor() const
{
    if (hover_ && (options_ & LinkHoverColor)) return hoverColor;
    if ((options_ & LinkNoActiveColor) || !active_) return visited_ ? visitedColor : linkColor;
    return activeColor;
}

void CHyperLink::paintEvent(QPaintEvent*)
{
    // Transparent background: the dialog shows through.
    QPainter p(this);
    p.setFont(font_ ? *font_ : font());
    p.setPen(textColor());
    p.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, text());
}

void CHyperLink::mouseMoveEvent(QMouseEvent* event)
{
    if (!hover_) {
        hover_ = true;
        repaint();
        grabMouse();
    } else if (!rect().contains(event->position().toPoint())) {
        hover_ = false;
        releaseMouse();
        repaint();
    }
}

void CHyperLink::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
    if (options_ & LinkFocusOnClick) setFocus(Qt::MouseFocusReason);
    if (options_ & LinkOpenOnPress) OpenTarget();
    active_ = true;
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return QLabel::mouseReleaseEvent(event);
    if (active_ && !(options_ & LinkOpenOnPress)) OpenTarget();
}

void CHyperLink::focusInEvent(QFocusEvent* event)
{
    QLabel::focusInEvent(event);
    active_ = true;
    repaint();
}

void CHyperLink::focusOutEvent(QFocusEvent* event)
{
    QLabel::focusOutEvent(event);
    hover_ = false;
    active_ = false;
    repaint();
}

void CHyperLink::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space) {
        OpenTarget();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CHyperLink::OpenTarget()
{
    int result = LaunchUrl(target_, SW_SHOW);
    if (result > 32) {
        visited_ = true;
        repaint();
        return;
    }
    prompts().beep();
    ShowLaunchError(result);
}

void CHyperLink::ShowLaunchError(int code)
{
    prompts().messageBox(nullptr, launchErrorText(code), "", Buttons::Ok, Icon::Exclamation);
}

} // namespace qorvan::ui
