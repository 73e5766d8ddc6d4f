// view and manager as qorvan parses them, and the hand-over to
// qorvan-dialogs.
#include "cli/dialogs.h"

#include "cli/common.h"
#include "platform/program.h"
#include "qorvan_install_dirs.h"
#include "ui/dialogs.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace qorvan::cli {

void addDialogCommands(
    CommandSet& commands, ViewOptions& view, DialogRun* chosen, DialogRun viewRun, DialogRun managerRun)
{
    if (CLI::App* v = commands.add("view", "Show one slide in the View Slide dialog")) {
        v->add_option(
             "REF", view.ref, "a slide file (.SLD optional) or LIBRARY(NAME) for a slide in LIBRARY.SLB")
            ->required();
        v->add_option("--title", view.title, "the dialog's caption (default: REF in upper case)")
            ->each([&view](const std::string&) { view.haveTitle = true; });
        v->add_option("--size", view.size,
            "picture size in pixels, WIDTHxHEIGHT (default " + std::to_string(ui::VIEW_SLIDE_DEFAULT_WIDTH)
                + "x" + std::to_string(ui::VIEW_SLIDE_DEFAULT_HEIGHT) + ")");
        v->callback([chosen, viewRun] { *chosen = viewRun; });
    }

    if (CLI::App* m
        = commands.add("manager", "Open the slide library manager (in the current directory, or PLACE)")) {
        m->add_option("PLACE", view.place, "a folder to browse, or a library (.slb) to open");
        m->callback([chosen, managerRun] { *chosen = managerRun; });
    }
}

namespace {

    // qorvan-dialogs beside this program (a build tree), else in the folder an
    // installation puts it in; the first of them when neither has it, so that
    // the error names a real place.
    std::string dialogsProgram()
    {
        const std::string folder = platform::programFolder();
        if (folder.empty()) return "qorvan-dialogs";
        const std::string dir = folder + "/";
        const std::string beside = dir + "qorvan-dialogs";
        const std::string installed = dir + QORVAN_LIBEXEC_DIR_FROM_BINDIR "/qorvan-dialogs";
        if (::access(beside.c_str(), X_OK) != 0 && ::access(installed.c_str(), X_OK) == 0) return installed;
        return beside;
    }

} // namespace

int forwardToDialogs(int argc, char** argv, const ViewOptions&)
{
    std::string program = dialogsProgram();
    std::vector<char*> args(argv, argv + argc);
    args[0] = program.data();
    args.push_back(nullptr);
    ::execv(program.c_str(), args.data());
    if (errno == ENOENT)
        return fail(
            std::string("this qorvan was installed without its dialogs (") + program + " is missing)");
    return fail(program + ": " + std::strerror(errno));
}

} // namespace qorvan::cli
