// List box, combo box and static text controls.
#include "ui/controls.h"

#include "platform/path.h"
#include "ui/template.h"

#include <QPainter>

namespace qorvan::ui {

int sortedInsertIndex(int count, const std::function<std::string(int)>& textAt, std::string_view text)
{
    // Upper bound by binary search: a big directory fills a list in
    // n log n comparisons rather than n squared.
    int lo = 0, hi = count;
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        if (platform::compareNoCase(textAt(mid), text) > 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

ListBox::ListBox(std::uint32_t style, QWidget* parent)
    : QListWidget(parent)
    , sorted_((style & LBS_SORT) != 0)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setVerticalScrollBarPolicy((style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (!(style & WS_BORDER)) setFrameShape(QFrame::NoFrame);
    // After the selection itself has moved, so the handler reads the new one.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!quiet_ && currentSelection() >= 0) emit selectionChanged();
    });
    connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { emit doubleClicked(); });
}

void ListBox::resetContent()
{
    quiet_ = true;
    clear();
    quiet_ = false;
}

int ListBox::addString(std::string_view text)
{
    int at = sorted_ ? sortedInsertIndex(
                 count(), [this](int i) { return item(i)->text().toStdString(); }, text)
                     : count();
    quiet_ = true;
    insertItem(at, QString::fromStdString(std::string(text)));
    quiet_ = false;
    return at;
}

int ListBox::count() const
{
    return QListWidget::count();
}

int ListBox::currentSelection() const
{
    QListWidgetItem* cur = currentItem();
    return (cur && cur->isSelected()) ? row(cur) : -1;
}

bool ListBox::text(int index, std::string& out) const
{
    QListWidgetItem* it = item(index);
    if (!it) return false;
    out = it->text().toStdString();
    return true;
}

void ListBox::setCurrentSelection(int index)
{
    quiet_ = true;
    if (index >= 0 && index < count()) {
        setCurrentRow(index);
    } else {
        setCurrentRow(-1);
        clearSelection();
    }
    quiet_ = false;
}

ComboBox::ComboBox(std::uint32_t style, QWidget* parent)
    : QComboBox(parent)
    , sorted_((style & CBS_SORT) != 0)
{
    setEditable(false);
    connect(this, &QComboBox::activated, this, [this](int) { emit selectionChanged(); });
}

void ComboBox::resetContent()
{
    clear();
}

int ComboBox::addString(std::string_view text)
{
    int at = sorted_ ? sortedInsertIndex(
                 count(), [this](int i) { return itemText(i).toStdString(); }, text)
                     : count();
    int selected = currentIndex();
    insertItem(at, QString::fromStdString(std::string(text)));
    // Inserting into an empty combo selects in Qt; the framework's does not.
    setCurrentIndex(selected < 0 ? -1 : (selected >= at ? selected + 1 : selected));
    return at;
}

int ComboBox::count() const
{
    return QComboBox::count();
}
int ComboBox::currentSelection() const
{
    return currentIndex();
}

bool ComboBox::text(int index, std::string& out) const
{
    if (index < 0 || index >= count()) return false;
    out = itemText(index).toStdString();
    return true;
}

void ComboBox::setCurrentSelection(int index)
{
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

int ComboBox::selectString(std::string_view text)
{
    for (int i = 0; i < count(); ++i) {
        if (platform::equalsNoCase(itemText(i).toStdString(), text)) {
            setCurrentIndex(i);
            return i;
        }
    }
    return -1;
}

StaticText::StaticText(std::uint32_t style, const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    std::uint32_t type = style & SS_TYPEMASK;
    Qt::Alignment h = type == SS_CENTER ? Qt::AlignHCenter
        : type == SS_RIGHT              ? Qt::AlignRight
                                        : Qt::AlignLeft;
    setAlignment(h | ((style & SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop));
    setTextFormat(Qt::PlainText);
}

void StaticText::setText(std::string_view text)
{
    QString t = QString::fromStdString(std::string(text));
    QLabel::setText(t);
    setToolTip(fontMetrics().horizontalAdvance(t) > contentsRect().width() ? t : QString());
}

void StaticText::paintEvent(QPaintEvent* event)
{
    QFontMetrics fm = fontMetrics();
    if (fm.horizontalAdvance(QLabel::text()) <= contentsRect().width()) return QLabel::paintEvent(event);
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(contentsRect(), static_cast<int>(alignment()),
        fm.elidedText(QLabel::text(), Qt::ElideLeft, contentsRect().width()));
}

std::string StaticText::text() const
{
    return QLabel::text().toStdString();
}

} // namespace qorvan::ui
