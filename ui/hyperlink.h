// CHyperLink: a static text that is a link. It draws its text in the link
// colours, underlines it, fits its window to the text, shows its target as
// a tooltip and a pointing-hand cursor, and opens the target when clicked
// or when the space bar is pressed while it has the focus.
#pragma once

#include "ui/template_dialog.h"

#include <QColor>
#include <QCursor>
#include <QLabel>

#include <cstdint>
#include <optional>
#include <string>

namespace qorvan::ui {

class CHyperLink : public QLabel, public Subclassable {
    Q_OBJECT
public:
    static constexpr std::uint32_t LinkUnderline = 0x01;
    static constexpr std::uint32_t LinkHoverColor = 0x02;
    static constexpr std::uint32_t LinkAutoSize = 0x04;
    static constexpr std::uint32_t LinkOpenOnPress = 0x08;
    static constexpr std::uint32_t LinkFocusOnClick = 0x10;
    static constexpr std::uint32_t LinkNoHandCursor = 0x20;
    static constexpr std::uint32_t LinkNoActiveColor = 0x40;
    static constexpr std::uint32_t DEFAULT_OPTIONS = LinkUnderline | LinkAutoSize | LinkFocusOnClick;

    static const QColor linkColor; // blue
    static const QColor activeColor; // teal
    static const QColor visitedColor; // purple
    static const QColor hoverColor; // red

    CHyperLink();
    ~CHyperLink() override;

    void SetTarget(const std::string& target);
    const std::string& target() const { return target_; }
    bool ChangeOptions(std::uint32_t remove, std::uint32_t add, bool apply);
    std::uint32_t options() const { return options_; }
    void FitToText();
    // Opens the target; marks the link visited on success, else beeps and
    // shows the launch error.
    void OpenTarget();
    static void ShowLaunchError(int code);

    // The colour the text is drawn in now.
    QColor textColor() const;
    bool active() const { return active_; }
    bool hover() const { return hover_; }
    bool visited() const { return visited_; }

    // The cursor shared by all links, loaded once by the first to attach.
    static const std::optional<QCursor>& handCursor() { return handCursor_; }
    static void LoadHandCursor();

    void PreSubclassWindow() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool attached_ = false;
    bool active_ = false;
    bool hover_ = false;
    bool visited_ = false;
    std::uint32_t options_ = DEFAULT_OPTIONS;
    std::string target_;
    std::optional<QFont> font_;
    static std::optional<QCursor> handCursor_;
};

} // namespace qorvan::ui
