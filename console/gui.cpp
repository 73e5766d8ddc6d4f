// The console's application object and main window.
#include "console/gui.h"

#include "console/host_state.h"
#include "platform/program.h"

#include <QApplication>
#include <QWidget>

#include <cstdint>

namespace qorvan::console {

struct Gui::State {
    std::unique_ptr<QApplication> app;
    std::unique_ptr<QWidget> mainWindow;
};

Gui::Gui(int& argc, char** argv)
    : state_(std::make_unique<State>())
{
    if (!platform::displayAvailable()) return;
    state_->app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Qorvan Console"));
    state_->mainWindow = std::make_unique<QWidget>();
    state_->mainWindow->setWindowTitle(QStringLiteral("Qorvan Console"));
    setMainWindow(reinterpret_cast<void*>(static_cast<std::uintptr_t>(state_->mainWindow->winId())));
}

Gui::~Gui()
{
    setMainWindow(nullptr);
    state_->mainWindow.reset();
    state_->app.reset();
}

bool Gui::available() const
{
    return state_->app != nullptr;
}

} // namespace qorvan::console
