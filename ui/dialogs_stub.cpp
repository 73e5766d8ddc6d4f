// ui/dialogs.h in a build without the dialogs: no dialog application ever
// runs, so callers report that there is no display and never reach a run.
#include "ui/dialogs.h"

namespace qorvan::ui {

struct DialogHost::State { };

DialogHost::DialogHost(int&, char**, const char*)
{
}

DialogHost::~DialogHost() = default;

NativeWindow DialogHost::mainWindow() const
{
    return nullptr;
}

bool dialogApplicationRunning()
{
    return false;
}

int runViewSlide(NativeWindow, const ViewSlideRequest&)
{
    return -1;
}

void readExistingFilesAsWritten(bool)
{
}

int runManager(NativeWindow, const char*)
{
    return -1;
}

} // namespace qorvan::ui
