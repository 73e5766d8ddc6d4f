// The About dialog and its picture.
#include "ui/about_dialog.h"

#include "ui/about_texts.h"

#include <QPainter>
#include <QPainterPath>

namespace qorvan::ui {

AboutDialog::AboutDialog(QWidget* parent)
    : TemplateDialog(IDD_ABOUT, parent)
{
}

void AboutDialog::DoDataExchange()
{
    SubclassDlgItem(IDC_WEB_LINK, &webLink_);
    SubclassDlgItem(IDC_MAIL_LINK, &mailLink_);
}

bool AboutDialog::OnInitDialog()
{
    webLink_.SetTarget(ABOUT_WEB_TARGET);
    webLink_.ChangeOptions(0, CHyperLink::LinkHoverColor, true);
    mailLink_.SetTarget(ABOUT_MAIL_TARGET);
    mailLink_.ChangeOptions(0, CHyperLink::LinkHoverColor, true);
    return true;
}

QImage aboutPicture()
{
    // A slide in miniature: black ground, a drawing in the slide palette's
    // first colours, and the name.
    QImage image(130, 32, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(255, 255, 0));
    p.drawRect(1, 1, 28, 29);
    p.setPen(QColor(0, 255, 255));
    p.drawLine(4, 26, 15, 5);
    p.drawLine(15, 5, 26, 26);
    p.drawLine(8, 18, 22, 18);
    p.setPen(QColor(255, 0, 0));
    p.drawEllipse(QPoint(15, 16), 6, 6);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(20);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRect(34, 0, 96, 32), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Qorvan"));
    p.setPen(QColor(0, 255, 0));
    p.drawLine(34, 28, 127, 28);
    p.end();
    return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
}

QImage templateImage(int id)
{
    return id == IDB_ABOUT_PICTURE ? aboutPicture() : QImage();
}

} // namespace qorvan::ui
