// The toolkit side of ui/dialogs.h.
#include "ui/dialogs.h"

#include "ui/manager_dialog.h"
#include "ui/template.h"
#include "ui/view_slide_dialog.h"

#include <QApplication>
#include <QWidget>

#include <cstdint>

namespace qorvan::ui {

namespace {

    // The handle is the window's id, so an unknown handle finds nothing.
    QWidget* parentWidget(NativeWindow handle)
    {
        return handle ? QWidget::find(static_cast<WId>(reinterpret_cast<std::uintptr_t>(handle))) : nullptr;
    }

} // namespace

bool dialogApplicationRunning()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

int runViewSlide(NativeWindow parent, const ViewSlideRequest& request)
{
    TemplateScope templates(moduleTemplates());
    ViewSlideDialog dialog(parentWidget(parent));
    dialog.SetSlideRef(request.ref);
    if (request.title) dialog.SetTitle(request.title);
    dialog.SetSize(request.width, request.height);
    return dialog.DoModal();
}

int runManager(NativeWindow parent, const char* library)
{
    TemplateScope templates(moduleTemplates());
    ManagerDialog dialog(parentWidget(parent));
    if (library && *library) dialog.SetLibrary(library);
    return dialog.DoModal();
}

} // namespace qorvan::ui
