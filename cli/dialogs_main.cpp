// qorvan-dialogs: the View Slide and manager dialogs for qorvan view and
// qorvan manager, which start it with their own arguments.
#include "cli/common.h"
#include "cli/dialogs.h"

#include "platform/program.h"
#include "platform/stdout.h"
#include "ui/dialogs.h"

#include <CLI/CLI.hpp>
#include <QApplication>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

using namespace qorvan;
using qorvan::cli::ViewOptions;

// The application object, or a one-line reason on standard error.
bool startApplication(int& argc, char** argv, std::unique_ptr<QApplication>& app)
{
    if (!platform::displayAvailable()) {
        std::fprintf(
            stderr, "qorvan: no display for the dialog (set DISPLAY, or QT_QPA_PLATFORM=offscreen)\n");
        return false;
    }
    app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Qorvan"));
    return true;
}

int runView(int argc, char** argv, const ViewOptions& o)
{
    ui::ViewSlideRequest request;
    request.ref = o.ref.c_str();
    request.title = o.haveTitle ? o.title.c_str() : nullptr;
    if (!cli::viewSize(o, request.width, request.height)) return cli::EXIT_USAGE;
    std::unique_ptr<QApplication> app;
    if (!startApplication(argc, argv, app)) return 1;
    return ui::runViewSlide(nullptr, request) < 0 ? 1 : 0;
}

int runManager(int argc, char** argv, const ViewOptions& o)
{
    // The manager browses the current directory, as it does in the host: a
    // folder to start in becomes the current directory, and so does a
    // library's folder.
    std::string library;
    std::error_code ec;
    if (!o.place.empty()) {
        std::filesystem::path place(o.place);
        if (!std::filesystem::is_directory(place, ec)) {
            if (!std::filesystem::is_regular_file(place, ec)) {
                std::fprintf(stderr, "qorvan manager: %s: no such folder or library\n", o.place.c_str());
                return 1;
            }
            library = place.filename().string();
            place = place.parent_path();
        }
        if (!place.empty()) std::filesystem::current_path(place, ec);
        if (ec) {
            std::fprintf(stderr, "qorvan manager: %s: %s\n", place.c_str(), ec.message().c_str());
            return 1;
        }
    }
    std::unique_ptr<QApplication> app;
    if (!startApplication(argc, argv, app)) return 1;
    return ui::runManager(nullptr, library.c_str()) < 0 ? 1 : 0;
}

int runMain(int argc, char** argv)
{
    // Users meet these commands as qorvan view and qorvan manager.
    CLI::App app { "qorvan-dialogs: the dialogs of qorvan view and qorvan manager", "qorvan" };
    app.require_subcommand(1);
    ViewOptions view;
    cli::DialogRun run = nullptr;
    // Every qorvan command reads a file that is there as that file; so do
    // its dialogs (the module's keep the module's rules).
    ui::readExistingFilesAsWritten(true);
    cli::CommandSet commands(app);
    cli::addDialogCommands(commands, view, &run, runView, runManager);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? cli::EXIT_OK : cli::EXIT_USAGE;
    }
    return run ? run(argc, argv, view) : cli::EXIT_USAGE;
}

} // namespace

int main(int argc, char** argv)
{
    return platform::finishStandardOutput("qorvan-dialogs", runMain(argc, argv));
}
