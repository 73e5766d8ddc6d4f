// The console's application object and main window, made when there is a
// display to show dialogs on (platform::displayAvailable). The main window is what adsw_acadMainWnd reports
// to modules.
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

} // namespace qorvan::console
