// qorvan view and qorvan manager: the dialogs without the console.
#include "cli/dialogs.h"

#include "cli/common.h"

#include "ui/manager_dialog.h"
#include "ui/template.h"
#include "ui/view_slide_dialog.h"

#include <CLI/CLI.hpp>
#include <QApplication>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace qorvan::cli {

namespace {

bool haveDisplay()
{
    const char* vars[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
    for (const char* v : vars)
        if (const char* value = std::getenv(v); value && *value) return true;
    return false;
}

// The application object, or a one-line reason on standard error.
bool startApplication(int& argc, char** argv, std::unique_ptr<QApplication>& app)
{
    if (!haveDisplay()) {
        std::fprintf(stderr, "qorvan: no display for the dialog (set DISPLAY, or QT_QPA_PLATFORM=offscreen)\n");
        return false;
    }
    app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Qorvan"));
    return true;
}

int runView(int argc, char** argv, const ViewOptions& o)
{
    int width = ui::ViewSlideDialog::DEFAULT_WIDTH;
    int height = ui::ViewSlideDialog::DEFAULT_HEIGHT;
    if (!o.size.empty() && !parseSize(o.size, width, height)) {
        std::fprintf(stderr, "qorvan view: --size wants WIDTHxHEIGHT in pixels, such as 600x400\n");
        return 2;
    }
    std::unique_ptr<QApplication> app;
    if (!startApplication(argc, argv, app)) return 1;
    ui::TemplateScope templates(ui::moduleTemplates());
    ui::ViewSlideDialog dialog(nullptr);
    dialog.SetSlideRef(o.ref);
    if (o.haveTitle) dialog.SetTitle(o.title);
    dialog.SetSize(width, height);
    return dialog.DoModal() < 0 ? 1 : 0;
}

int runManager(int argc, char** argv, const ViewOptions&)
{
    std::unique_ptr<QApplication> app;
    if (!startApplication(argc, argv, app)) return 1;
    ui::TemplateScope templates(ui::moduleTemplates());
    ui::ManagerDialog dialog(nullptr);
    return dialog.DoModal() < 0 ? 1 : 0;
}

} // namespace

void addDialogCommands(CLI::App& app, ViewOptions& view, int (**run)(int, char**, const ViewOptions&))
{
    CLI::App* v = app.add_subcommand("view", "Show one slide in the View Slide dialog");
    v->add_option("REF", view.ref, "a slide file (.SLD optional) or LIBRARY(NAME) for a slide in LIBRARY.SLB")
        ->required();
    v->add_option("--title", view.title, "the dialog's caption (default: REF in upper case)")
        ->each([&view](const std::string&) { view.haveTitle = true; });
    v->add_option("--size", view.size, "picture size in pixels, WIDTHxHEIGHT (default 420x300)");
    v->callback([run] { *run = runView; });

    CLI::App* m = app.add_subcommand("manager", "Open the slide library manager in the current directory");
    m->callback([run] { *run = runManager; });
}

} // namespace qorvan::cli
