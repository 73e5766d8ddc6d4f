// slb-view and QORVAN: the two handlers that open the module's dialogs, the
// View Slide dialog and the manager. Both run the dialog modally inside the
// call, parented to the host's main window, with the module's templates
// selected. Without a display (no application object in the host) they say
// so on one line and return nil.
#include "host/handlers.h"

#include "host/arglist.h"
#include "host/arx/aced.h"
#include "host/banner.h"
#include "host/extension_module.h"

#include "ui/dialogs.h"

#include <cstdint>

namespace qorvan::host {

namespace {

    int viewBody()
    {
        printModuleBanner();
        ResourceSwitch resources;
        ArgList args(acedGetArgs());
        if (!args.getHead() || args.argCount() < 1) {
            acutPrintf("%s", TOO_FEW_ARGUMENTS);
            return RTERROR;
        }
        char ref[ARG_BUFFER];
        if (args.getStringArg(0, ref) != RTNORM) {
            acutPrintf("%s", INVALID_ARGUMENT);
            return RTERROR;
        }
        char title[ARG_BUFFER];
        bool haveTitle = args.getStringArg(1, title) == RTNORM;
        std::int32_t width = ui::VIEW_SLIDE_DEFAULT_WIDTH;
        std::int32_t height = ui::VIEW_SLIDE_DEFAULT_HEIGHT;
        if (args.getShortArg(2, width) != RTNORM) width = ui::VIEW_SLIDE_DEFAULT_WIDTH;
        if (args.getShortArg(3, height) != RTNORM) height = ui::VIEW_SLIDE_DEFAULT_HEIGHT;
        if (!ui::dialogApplicationRunning()) {
            acutPrintf("%s", NO_DISPLAY);
            return RTERROR;
        }
        ui::ViewSlideRequest request;
        request.ref = ref;
        request.title = haveTitle ? title : nullptr;
        request.width = width;
        request.height = height;
        ui::runViewSlide(adsw_acadMainWnd(), request);
        acedRetVoid();
        return RTNORM;
    }

    int managerBody()
    {
        printModuleBanner();
        if (!ui::dialogApplicationRunning()) {
            acutPrintf("%s", NO_DISPLAY);
            return RTERROR;
        }
        ResourceSwitch resources;
        ui::runManager(adsw_acadMainWnd());
        return RTNORM;
    }

} // namespace

int slbView()
{
    return guarded(viewBody);
}
int qorvanCommand()
{
    return guarded(managerBody);
}

} // namespace qorvan::host
