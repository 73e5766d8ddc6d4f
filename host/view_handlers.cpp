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

#ifdef QORVAN_DIALOGS
#include "ui/manager_dialog.h"
#include "ui/template.h"
#include "ui/view_slide_dialog.h"

#include <QApplication>
#include <QWidget>
#endif

#include <cstdint>

namespace qorvan::host {

namespace {

inline constexpr std::int32_t DEFAULT_WIDTH = 420;
inline constexpr std::int32_t DEFAULT_HEIGHT = 300;

#ifdef QORVAN_DIALOGS

// The module's resource handle and, with it, its dialog templates for the
// scope of one dialog; both are restored on every path out.
class DialogResources {
public:
    DialogResources() : templates_(ui::moduleTemplates()) {}

private:
    ResourceSwitch switch_;
    ui::TemplateScope templates_;
};

bool haveDisplay() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

// The framework window object for the host's main window: the handle is the
// window's id, so an unknown handle gives no parent rather than a bad one.
QWidget* mainWindow()
{
    HWND handle = adsw_acadMainWnd();
    return handle ? QWidget::find(static_cast<WId>(reinterpret_cast<std::uintptr_t>(handle))) : nullptr;
}

#else

bool haveDisplay() { return false; }

#endif

int viewBody()
{
    printModuleBanner();
#ifdef QORVAN_DIALOGS
    DialogResources resources;
#endif
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
    std::int32_t width = DEFAULT_WIDTH;
    std::int32_t height = DEFAULT_HEIGHT;
    if (args.getShortArg(2, width) != RTNORM) width = DEFAULT_WIDTH;
    if (args.getShortArg(3, height) != RTNORM) height = DEFAULT_HEIGHT;
    if (!haveDisplay()) {
        acutPrintf("%s", NO_DISPLAY);
        return RTERROR;
    }
#ifdef QORVAN_DIALOGS
    ui::ViewSlideDialog dialog(mainWindow());
    dialog.SetSlideRef(ref);
    if (haveTitle) dialog.SetTitle(title);
    dialog.SetSize(width, height);
    dialog.DoModal();
#else
    (void)haveTitle;
#endif
    acedRetVoid();
    return RTNORM;
}

int managerBody()
{
    printModuleBanner();
    if (!haveDisplay()) {
        acutPrintf("%s", NO_DISPLAY);
        return RTERROR;
    }
#ifdef QORVAN_DIALOGS
    DialogResources resources;
    ui::ManagerDialog dialog(mainWindow());
    dialog.DoModal();
#endif
    return RTNORM;
}

} // namespace

int slbView() { return guarded(viewBody); }
int qorvanCommand() { return guarded(managerBody); }

} // namespace qorvan::host
