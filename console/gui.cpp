#include "console/gui.h"

#include "console/host_state.h"

namespace qorvan::console {

Gui::Gui(int& argc, char** argv)
    : host_(argc, argv, "Qorvan Console")
{
    setMainWindow(host_.mainWindow());
}

Gui::~Gui()
{
    // Modules unloaded after this must not be handed a window that is gone.
    setMainWindow(nullptr);
}

} // namespace qorvan::console
