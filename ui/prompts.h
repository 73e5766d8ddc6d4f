// The questions the dialogs put to the user: message boxes, the library
// file chooser and the warning beep. The product answers them with Qt's
// dialogs; tests install a scripted answerer with setPrompts.
#pragma once

#include <optional>
#include <string>

class QWidget;

namespace qorvan::ui {

enum class Buttons { Ok, OkCancel };
enum class Icon { None, Exclamation, Error };

// What the file chooser is asked: the framework's Open dialog fields.
struct OpenFileRequest {
    std::string initialDir;
    std::string title;
    std::string filterName; // "AutoCAD Slide Library Files (*.slb)"
    std::string filterPattern; // "*.slb"
    std::string defaultExt; // ".slb"
    bool hideReadOnly = false;
    bool overwritePrompt = false;
    bool createPrompt = false; // a name that does not exist is accepted after confirmation
};

class Prompts {
public:
    virtual ~Prompts() = default;
    // Shows text with the caption (empty: the application's default caption)
    // and returns IDOK or IDCANCEL. owner may be null.
    virtual int messageBox(
        QWidget* owner, const std::string& text, const std::string& caption, Buttons buttons, Icon icon)
        = 0;
    // The full path chosen, or nothing when the user cancels.
    virtual std::optional<std::string> openFile(const OpenFileRequest& request) = 0;
    virtual void beep() = 0;
};

// The prompts in effect: the Qt ones unless a test installed others.
Prompts& prompts();
// Installs p (null: the Qt ones again) and returns the previous override.
Prompts* setPrompts(Prompts* p);

// The caption a message box gets when none is given.
std::string defaultCaption();

} // namespace qorvan::ui
