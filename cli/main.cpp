// qorvan: the command-line tool over the slide library store and the slide
// code, without the CAD host.
#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/common.h"
#include "cli/dialogs.h"
#include "platform/io.h"
#include "platform/path.h"
#include "platform/resolve.h"
#include "platform/stdout.h"
#include "qorvan_version.h"

namespace {

// A path such as C:\OUT is the host's users' habit; on Linux its drive
// means the folder QORVAN_DRIVE_C names, and without that variable the root.
// Writing to /OUT unannounced would surprise, so say so once per drive.
void noteUnmappedDrives(int argc, char** argv)
{
    std::string told;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        // --directory=C:\OUT as much as -d C:\OUT.
        if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) a = a.substr(a.find('=') + 1);
        const qorvan::platform::DrivePrefix drive = qorvan::platform::drivePrefix(a);
        if (!drive.letter || a.size() < 3 || !qorvan::platform::isSeparator(a[2])) continue;
        if (!drive.folder.empty() || told.find(drive.letter) != std::string::npos) continue;
        told += drive.letter;
        std::fprintf(stderr,
            "qorvan: %c: stands for / here, so %s is %s (set %s to the folder %c: should mean)\n",
            drive.letter, a.c_str(), qorvan::platform::toNativePath(a).c_str(), drive.variable.c_str(),
            drive.letter);
    }
}

struct Commands {
    Commands(CLI::App& a, qorvan::cli::Action& act)
        : app(a)
        , action(act)
    {
    }
    CLI::App& app;
    qorvan::cli::Action& action;
    qorvan::cli::ViewOptions view;
    qorvan::cli::DialogRun run = nullptr;

    // In the order --help lists them.
    void addGroups(qorvan::cli::CommandSet& set)
    {
        using namespace qorvan::cli;
        addLibraryCommands(set, action);
        addInfoCommand(set, action);
        addCheckCommand(set, action);
        addRenderCommands(set, action);
        addGalleryCommand(set, action);
        addThumbnailCommand(set, action);
        addInspectCommands(set, action);
        addMakeCommand(set, action);
        addDialogCommands(set, view, &run, forwardView, forwardManager);
    }

    // help and completion read the others, so they come last.
    void addAll()
    {
        qorvan::cli::CommandSet all(app);
        addGroups(all);
        qorvan::cli::addHelpCommands(app, action);
    }

    // The command word alone; help, completion and words that are no
    // command build everything, as their answers need it.
    void addFor(const char* word)
    {
        qorvan::cli::CommandSet named(app, word);
        addGroups(named);
        if (!named.addedAny()) addAll();
    }
};

// The parser names arguments it did not expect last first; a person reads
// them in the order typed. They are the typed words themselves, so the
// order is found by matching them, last first, against the command line;
// anything that does not match is left as the parser said it.
std::string inTypedOrder(const std::string& message, int argc, char** argv)
{
    const std::string lead = "The following arguments were not expected: ";
    if (message.rfind(lead, 0) != 0) return message;
    std::string rest = message.substr(lead.size());
    std::vector<std::string> typed;
    for (int i = argc - 1; i >= 1 && !rest.empty(); --i) {
        const std::string word = argv[i];
        if (word.empty()) continue;
        if (rest == word) {
            rest.clear();
        } else if (rest.rfind(word + " ", 0) == 0) {
            rest.erase(0, word.size() + 1);
        } else {
            continue;
        }
        typed.insert(typed.begin(), word);
    }
    if (!rest.empty() || typed.empty()) return message;
    std::string out = lead;
    for (std::size_t i = 0; i < typed.size(); ++i)
        out += (i ? " " : "") + typed[i];
    return out;
}

int runMain(int argc, char** argv)
{
    using namespace qorvan::cli;
    guardFiles();
    // Named here, or CLI11 would name the program by the path it was run as.
    CLI::App app { "qorvan: work with AutoCAD slide libraries (.slb) and slides (.sld)", "qorvan" };
    app.require_subcommand(1);
    app.set_version_flag("-V,--version", "qorvan " QORVAN_VERSION);
    Action action;
    Commands commands(app, action);
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (argc == 2 && (first == "-V" || first == "--version")) {
        // Nothing to build to say the version.
    } else if (!first.empty() && first[0] != '-') {
        commands.addFor(argv[1]);
    } else {
        commands.addAll();
    }
    // CLI11 would only say that a subcommand is required; name the word.
    if (argc > 1 && argv[1][0] != '-') {
        bool known = false;
        for (const CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
            known = known || sub->check_name(argv[1]);
        const std::string word = argv[1];
        if (!known && (word == "view" || word == "manager"))
            return fail("this qorvan was built without its dialogs, so it has no " + word + " command");
        if (!known)
            return fail(
                std::string("unknown command \"") + argv[1] + "\" (qorvan --help lists them)", EXIT_USAGE);
    }
    if (argc > 1 && argv[1][0] != '-') setCommandName(argv[1]);
    noteUnmappedDrives(argc, argv);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version end parsing successfully; every other parse
        // failure is a usage error, said as the commands say theirs.
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success))
            return app.exit(e) == 0 ? EXIT_OK : EXIT_USAGE;
        const std::string help = argc > 1 && argv[1][0] != '-' ? std::string(argv[1]) + " --help" : "--help";
        return fail(
            inTypedOrder(e.what(), argc, argv) + " (qorvan " + help + " shows the usage)", EXIT_USAGE);
    }
    // One command a run: nothing it writes may replace what it reads.
    qorvan::platform::InputGuard inputs;
    if (commands.run) return commands.run(argc, argv, commands.view);
    return action ? action() : EXIT_USAGE;
}

} // namespace

int main(int argc, char** argv)
{
    return qorvan::platform::finishStandardOutput("qorvan", runMain(argc, argv));
}
