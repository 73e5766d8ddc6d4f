// view and manager as qorvan parses them, and the hand-over to
// qorvan-dialogs.
#include "cli/dialogs.h"

#include "cli/common.h"
#include "qorvan_install_dirs.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace qorvan::cli {

void addDialogCommands(CLI::App& app, ViewOptions& view, DialogRun* chosen, DialogRun viewRun,
                       DialogRun managerRun)
{
    CLI::App* v = app.add_subcommand("view", "Show one slide in the View Slide dialog");
    v->add_option("REF", view.ref, "a slide file (.SLD optional) or LIBRARY(NAME) for a slide in LIBRARY.SLB")
        ->required();
    v->add_option("--title", view.title, "the dialog's caption (default: REF in upper case)")
        ->each([&view](const std::string&) { view.haveTitle = true; });
    v->add_option("--size", view.size, "picture size in pixels, WIDTHxHEIGHT (default 420x300)");
    v->callback([chosen, viewRun] { *chosen = viewRun; });

    CLI::App* m = app.add_subcommand("manager", "Open the slide library manager (in the current directory, or PLACE)");
    m->add_option("PLACE", view.place, "a folder to browse, or a library (.slb) to open");
    m->callback([chosen, managerRun] { *chosen = managerRun; });
}

namespace {

// qorvan-dialogs beside this program (a build tree), else in the folder an
// installation puts it in; the first of them when neither has it, so that
// the error names a real place.
std::string dialogsProgram()
{
    char self[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "qorvan-dialogs";
    self[n] = '\0';
    std::string dir(self);
    dir = dir.substr(0, dir.rfind('/') + 1);
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
        return fail(std::string("this qorvan was installed without its dialogs (") + program + " is missing)");
    return fail(program + ": " + std::strerror(errno));
}

} // namespace qorvan::cli
