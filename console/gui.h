// The console's application object and main window, made when there is a
// display to show dialogs on (or QT_QPA_PLATFORM names a platform such as
// offscreen). The main window is what adsw_acadMainWnd reports to modules.
#pragma once

#include <memory>

namespace qorvan::console {

class Gui {
public:
    Gui(int& argc, char** argv);
    ~Gui();
    Gui(const Gui&) = delete;
    Gui& operator=(const Gui&) = delete;
    bool available() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Whether a display can be reached: QT_QPA_PLATFORM set, a local X server's
// socket or a Wayland socket present, or a remote X display named.
bool displayAvailable();

} // namespace qorvan::console
