// The framework's list box, combo box and static text over Qt widgets, with
// the behaviour the dialog code expects of them: sorted insertion when the
// style says so, selection that the program sets without notifying, and
// notifications only for what the user does.
#pragma once

#include "platform/dirlist.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>

#include <cstdint>
#include <functional>
#include <string>

namespace qorvan::ui {

class ListBox : public QListWidget, public platform::ListControl {
    Q_OBJECT
public:
    ListBox(std::uint32_t style, QWidget* parent);

    void resetContent() override;
    int addString(std::string_view text) override;
    int count() const override;
    int currentSelection() const override;
    bool text(int index, std::string& out) const override;
    // Selects index (-1: none) without a selection-change notification.
    void setCurrentSelection(int index);

signals:
    void selectionChanged(); // the user changed the selection
    void doubleClicked(); // the user double-clicked an entry

private:
    bool sorted_;
    bool quiet_ = false;
};

class ComboBox : public QComboBox, public platform::ListControl {
    Q_OBJECT
public:
    ComboBox(std::uint32_t style, QWidget* parent);

    void resetContent() override;
    int addString(std::string_view text) override;
    int count() const override;
    int currentSelection() const override;
    bool text(int index, std::string& out) const override;
    void setCurrentSelection(int index);
    // Selects the first entry equal to text ignoring case; its index or -1.
    int selectString(std::string_view text);

signals:
    void selectionChanged();

private:
    bool sorted_;
};

// A static text control; also the path control of the directory listing.
class StaticText : public QLabel, public platform::TextControl {
    Q_OBJECT
public:
    StaticText(std::uint32_t style, const QString& text, QWidget* parent);
    void setText(std::string_view text) override;
    std::string text() const;

protected:
    // A path longer than the control shows its end, where the names that
    // matter are, with the whole text as the tooltip.
    void paintEvent(QPaintEvent* event) override;
};

// Where text goes in a sorted list of count entries: after the entries that
// do not sort after it, comparing without regard to ASCII letter case.
int sortedInsertIndex(int count, const std::function<std::string(int)>& textAt, std::string_view text);

} // namespace qorvan::ui
