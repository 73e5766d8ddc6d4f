// The console's application object and main window.
#include "console/gui.h"

#include "console/host_state.h"

#include <QApplication>
#include <QWidget>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace qorvan::console {

namespace {

bool socketExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

} // namespace

bool displayAvailable()
{
    if (!env("QT_QPA_PLATFORM").empty()) return true;
    std::string wayland = env("WAYLAND_DISPLAY");
    if (!wayland.empty()) {
        std::string runtime = env("XDG_RUNTIME_DIR");
        if (wayland[0] == '/' ? socketExists(wayland) : socketExists(runtime + "/" + wayland)) return true;
    }
    // Connecting to an X display that is not there ends the program inside
    // the toolkit, so a local display is only tried when its socket exists.
    std::string x = env("DISPLAY");
    if (x.empty()) return false;
    std::size_t colon = x.find(':');
    if (colon == std::string::npos) return false;
    if (colon > 0 && x.compare(0, colon, "unix") != 0) return true; // a remote display
    std::string number = x.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    return socketExists("/tmp/.X11-unix/X" + number);
}

struct Gui::State {
    std::unique_ptr<QApplication> app;
    std::unique_ptr<QWidget> mainWindow;
};

Gui::Gui(int& argc, char** argv) : state_(std::make_unique<State>())
{
    if (!displayAvailable()) return;
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

bool Gui::available() const { return state_->app != nullptr; }

} // namespace qorvan::console
