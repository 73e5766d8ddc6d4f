// The prompts of the product: Qt's message boxes and file dialog.
#include "ui/prompts.h"

#include "ui/template.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace qorvan::ui {

namespace {

    class QtPrompts final : public Prompts {
    public:
        int messageBox(QWidget* owner, const std::string& text, const std::string& caption, Buttons buttons,
            Icon icon) override
        {
            QMessageBox box(owner);
            box.setWindowTitle(QString::fromStdString(caption.empty() ? defaultCaption() : caption));
            box.setText(QString::fromStdString(text));
            box.setIcon(icon == Icon::Exclamation ? QMessageBox::Warning
                    : icon == Icon::Error         ? QMessageBox::Critical
                                                  : QMessageBox::NoIcon);
            if (buttons == Buttons::OkCancel) {
                box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
                box.setDefaultButton(QMessageBox::Ok);
            } else {
                box.setStandardButtons(QMessageBox::Ok);
            }
            return box.exec() == QMessageBox::Ok ? IDOK : IDCANCEL;
        }

        std::optional<std::string> openFile(const OpenFileRequest& r) override
        {
            QFileDialog dialog(
                nullptr, QString::fromStdString(r.title), QString::fromStdString(r.initialDir));
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(r.createPrompt ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
            dialog.setNameFilter(QString::fromStdString(r.filterName));
            std::string suffix = r.defaultExt;
            if (!suffix.empty() && suffix.front() == '.') suffix.erase(0, 1);
            dialog.setDefaultSuffix(QString::fromStdString(suffix));
            if (r.hideReadOnly) dialog.setOption(QFileDialog::ReadOnly, false);
            for (;;) {
                if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
                    return std::nullopt;
                QString chosen = dialog.selectedFiles().front();
                if (!r.createPrompt || QFileInfo::exists(chosen)) return chosen.toStdString();
                // The framework's create prompt: a new library only on a yes.
                auto answer = QMessageBox::question(&dialog, dialog.windowTitle(),
                    QStringLiteral("%1\nThis file does not exist.\nCreate the file?").arg(chosen));
                if (answer == QMessageBox::Yes) return chosen.toStdString();
            }
        }

        void beep() override { QApplication::beep(); }
    };

    Prompts* override = nullptr;

} // namespace

Prompts& prompts()
{
    static QtPrompts qt;
    return override ? *override : qt;
}

Prompts* setPrompts(Prompts* p)
{
    Prompts* previous = override;
    override = p;
    return previous;
}

std::string defaultCaption()
{
    QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? std::string("Qorvan") : name.toStdString();
}

} // namespace qorvan::ui
