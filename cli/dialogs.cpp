// view and manager as qorvan parses them, and the hand-over to
// qorvan-dialogs.
#include "cli/dialogs.h"

#include "cli/common.h"
#include "platform/program.h"
#include "platform/resolve.h"
#include "qorvan_install_dirs.h"
#include "ui/dialogs.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
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

namespace {

    int forwardToDialogs(int argc, char** argv)
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

} // namespace

bool viewSize(const ViewOptions& o, int& width, int& height)
{
    width = ui::VIEW_SLIDE_DEFAULT_WIDTH;
    height = ui::VIEW_SLIDE_DEFAULT_HEIGHT;
    if (o.size.empty() || parseSize(o.size, width, height)) return true;
    std::fprintf(stderr, "qorvan view: --size wants WIDTHxHEIGHT in pixels, such as 600x400\n");
    return false;
}

int forwardView(int argc, char** argv, const ViewOptions& o)
{
    int width = 0, height = 0;
    if (!viewSize(o, width, height)) return EXIT_USAGE;
    resetStatus();
    LoadedSlide s;
    if (loadSlideRef(o.ref, s) != Ok) return failWithStatus(o.ref);
    if (int refused = refuseLibraryAsSlide("view", s)) return refused;
    resetStatus();
    return forwardToDialogs(argc, argv);
}

int forwardManager(int argc, char** argv, const ViewOptions& o)
{
    std::error_code ec;
    if (!o.place.empty() && !std::filesystem::is_directory(platform::resolveExisting(o.place), ec)) {
        const std::string place = shown(o.place, stderr);
        if (!platform::pathExists(o.place)) return failIn("manager", place + ": no such folder or library");
        std::vector<std::uint8_t> start;
        if (!readFileStart(o.place, SLIDE_CHECK_BYTES, start)) return failIn("manager", readFailure(o.place));
        if (!isLibraryFile(start)) {
            if (startsLikeSlide(start))
                return failIn("manager",
                    place
                        + " is a slide, not a slide library: the manager opens a folder or a library "
                          "(qorvan view "
                        + place + " shows the slide)");
            return failIn(
                "manager", place + " is not a slide library: the manager opens a folder or a library");
        }
    }
    return forwardToDialogs(argc, argv);
}

} // namespace qorvan::cli
