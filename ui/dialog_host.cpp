// The toolkit side of ui::DialogHost, in a file of its own: a program that
// makes the application links this and not the dialogs, which the module it
// loads brings.
#include "platform/program.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QWidget>

#include <cstdint>

namespace qorvan::ui {

struct DialogHost::State {
    std::unique_ptr<QApplication> app;
    std::unique_ptr<QWidget> mainWindow;
};

DialogHost::DialogHost(int& argc, char** argv, const char* name)
    : state_(std::make_unique<State>())
{
    if (!platform::displayAvailable()) return;
    state_->app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromUtf8(name));
    state_->mainWindow = std::make_unique<QWidget>();
    state_->mainWindow->setWindowTitle(QString::fromUtf8(name));
}

DialogHost::~DialogHost()
{
    state_->mainWindow.reset();
    state_->app.reset();
}

NativeWindow DialogHost::mainWindow() const
{
    if (!state_->mainWindow) return nullptr;
    return reinterpret_cast<NativeWindow>(static_cast<std::uintptr_t>(state_->mainWindow->winId()));
}

} // namespace qorvan::ui
