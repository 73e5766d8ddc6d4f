// Building a dialog from its template, and its modal run.
#include "ui/template_dialog.h"

#include "ui/controls.h"
#include "ui/picture_control.h"

#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace qorvan::ui {

namespace {

    TemplateDialog::ModalHook& modalHook()
    {
        static TemplateDialog::ModalHook hook;
        return hook;
    }

    constexpr const char* ID_PROPERTY = "qorvanControlId";
    constexpr const char* STYLE_PROPERTY = "qorvanControlStyle";

} // namespace

std::uint32_t controlStyle(const QWidget* control)
{
    return control ? control->property(STYLE_PROPERTY).toUInt() : 0;
}

int controlId(const QWidget* control)
{
    QVariant v = control ? control->property(ID_PROPERTY) : QVariant();
    return v.isValid() ? v.toInt() : IDC_STATIC;
}

TemplateDialog::TemplateDialog(int templateId, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , templateId_(templateId)
{
}

void TemplateDialog::setModalHook(ModalHook hook)
{
    modalHook() = std::move(hook);
}

bool TemplateDialog::Create()
{
    if (created_) return true;
    const TemplateSource* source = currentTemplateSource();
    const DialogTemplate* t = source ? source->findTemplate(templateId_) : nullptr;
    if (!t) return false;

    QFont font = templateFont(t->fontName, t->pointSize);
    setFont(font);
    units_ = baseUnits(font);
    setWindowTitle(QString::fromUtf8(t->caption));
    QRect client = toPixels({ 0, 0, t->cx, t->cy }, units_);
    resize(client.size());
    for (const ControlTemplate& c : t->controls) {
        QWidget* w = createControl(c);
        w->setProperty(ID_PROPERTY, c.id);
        w->setProperty(STYLE_PROPERTY, c.style);
        w->setObjectName(QStringLiteral("control%1").arg(c.id));
        if (!(c.style & WS_VISIBLE)) w->hide();
        items_.emplace_back(c.id, w);
    }
    created_ = true;
    DoDataExchange();
    OnInitDialog();
    setFixedSize(size());
    return true;
}

QWidget* TemplateDialog::createControl(const ControlTemplate& c)
{
    QRect r = toPixels(c.rect, units_);
    QString text = QString::fromUtf8(c.text);
    QWidget* w = nullptr;
    switch (c.cls) {
    case ControlClass::Button: {
        auto* b = new QPushButton(text, this);
        b->setDefault((c.style & 0xF) == BS_DEFPUSHBUTTON);
        b->setAutoDefault(false);
        if (c.id == IDOK) connect(b, &QPushButton::clicked, this, [this] { OnOK(); });
        if (c.id == IDCANCEL) connect(b, &QPushButton::clicked, this, [this] { OnCancel(); });
        w = b;
        break;
    }
    case ControlClass::Static: {
        std::uint32_t type = c.style & SS_TYPEMASK;
        if (type == SS_BLACKRECT) {
            w = new PictureControl((c.exStyle & WS_EX_CLIENTEDGE) != 0, this);
        } else if (type == SS_BITMAP) {
            auto* label = new QLabel(this);
            QImage image = templateImage(c.imageId);
            label->setPixmap(QPixmap::fromImage(image));
            // A bitmap static takes the bitmap's size.
            if (!image.isNull()) r.setSize(image.size());
            w = label;
        } else {
            w = new StaticText(c.style, text, this);
        }
        break;
    }
    case ControlClass::ListBox:
        w = new ListBox(c.style, this);
        break;
    case ControlClass::ComboBox: {
        auto* combo = new ComboBox(c.style, this);
        // The template's height is that of the dropped-down list.
        r.setHeight(combo->sizeHint().height());
        w = combo;
        break;
    }
    }
    w->setGeometry(r);
    w->setFocusPolicy((c.style & WS_TABSTOP) ? Qt::StrongFocus : Qt::NoFocus);
    return w;
}

void TemplateDialog::SubclassDlgItem(int id, QWidget* control)
{
    for (auto& [itemId, w] : items_) {
        if (itemId != id) continue;
        control->setParent(this);
        control->setProperty(ID_PROPERTY, w->property(ID_PROPERTY));
        control->setProperty(STYLE_PROPERTY, w->property(STYLE_PROPERTY));
        control->setObjectName(w->objectName());
        control->setFont(w->font());
        control->setFocusPolicy(w->focusPolicy());
        auto* oldLabel = qobject_cast<QLabel*>(w);
        auto* newLabel = qobject_cast<QLabel*>(control);
        if (oldLabel && newLabel) {
            newLabel->setText(oldLabel->text());
            newLabel->setAlignment(oldLabel->alignment());
        }
        control->setGeometry(w->geometry());
        control->stackUnder(w);
        control->setVisible(!w->isHidden());
        delete w;
        w = control;
        // The control's own attach step, now that it has its window.
        if (auto* s = dynamic_cast<Subclassable*>(control)) s->PreSubclassWindow();
        return;
    }
}

QWidget* TemplateDialog::GetDlgItem(int id) const
{
    for (const auto& [itemId, w] : items_)
        if (itemId == id) return w;
    return nullptr;
}

std::string TemplateDialog::describe() const
{
    std::string line = "dialog " + std::to_string(templateId_) + " \"" + windowTitle().toStdString() + "\" "
        + std::to_string(width()) + "x" + std::to_string(height());
    for (const auto& [id, w] : items_)
        if (auto* p = qobject_cast<PictureControl*>(w))
            line += " picture " + std::to_string(id) + " " + std::to_string(p->width()) + "x"
                + std::to_string(p->height());
    return line;
}

int TemplateDialog::DoModal()
{
    if (!Create()) return -1;
    bool autoClose = std::getenv("QORVAN_TEST_CLOSE_DIALOGS") != nullptr;
    if (modalHook() || autoClose) {
        QTimer::singleShot(0, this, [this, autoClose] {
            if (modalHook()) modalHook()(*this);
            if (autoClose && isVisible()) {
                std::fprintf(stderr, "%s\n", describe().c_str());
                std::fflush(stderr);
                done(IDCANCEL);
            }
        });
    }
    return exec();
}

} // namespace qorvan::ui
