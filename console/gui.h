// The console's dialog application and main window (ui::DialogHost), made
// when there is a display to show dialogs on; the main window is what
// adsw_acadMainWnd reports to modules while the console runs.
#pragma once

#include "ui/dialogs.h"

namespace qorvan::console {

class Gui {
public:
    Gui(int& argc, char** argv);
    ~Gui();
    Gui(const Gui&) = delete;
    Gui& operator=(const Gui&) = delete;

private:
    ui::DialogHost host_;
};

} // namespace qorvan::console
