// slb-view and QORVAN before the dialogs exist: the console has no display
// to show them on, so both say so and fail.
#include "host/handlers.h"

#include "host/arx/aced.h"
#include "host/banner.h"

namespace qorvan::host {

namespace {
int noDisplay()
{
    printModuleBanner();
    acutPrintf("\nerror: no display\n");
    return RTERROR;
}
} // namespace

int slbView() { return guarded(noDisplay); }
int qorvanCommand() { return guarded(noDisplay); }

} // namespace qorvan::host
