// qorvan-console: the stand-in CAD host. Loads modules, sends them the
// application messages, and evaluates AutoLISP from -e, a script or the
// Command: prompt.
#include "console/gui.h"
#include "console/host_state.h"
#include "console/interpreter.h"
#include "console/output.h"
#include "console/session.h"
#include "platform/cleanup.h"
#include "platform/program.h"
#include "platform/stdout.h"

#include "qorvan_version.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace qorvan::console;

namespace {

constexpr const char USAGE[]
    = "usage: qorvan-console [--module PATH]... [--no-default-module] [-e EXPR]... [SCRIPT.lsp]\n";

constexpr const char HELP[] = "Loads CAD host modules (qorvan.arx beside this program or where it is\n"
                              "installed, unless told otherwise) and evaluates AutoLISP: the expressions\n"
                              "given with -e, then SCRIPT.lsp, or, when neither is given, lines from\n"
                              "standard input (a Command: prompt with line editing on a terminal). A line\n"
                              "that does not start with ( is a command name; QUIT ends the session.\n"
                              "\n"
                              "  --module PATH        load the module at PATH as well (repeatable)\n"
                              "  --no-default-module  do not load qorvan.arx\n"
                              "  -e EXPR              evaluate EXPR and print its value (repeatable)\n"
                              "  -h, --help           show this help\n"
                              "  -V, --version        show the version\n"
                              "\n"
                              "Exit status: 0, or 1 when a script or -e expression ended in an error or a\n"
                              "module could not be loaded, 2 for a usage error.\n"
                              "The AutoLISP the console evaluates is described in qorvan-console(1).\n";

struct Options {
    std::vector<std::string> modules;
    bool defaultModule = true;
    std::vector<std::string> expressions;
    std::string script;
    bool hasScript = false;
};

int usageError(const std::string& message)
{
    std::fprintf(stderr, "qorvan-console: %s\n%s", message.c_str(), USAGE);
    return 2;
}

// 0 to go on, otherwise the exit status to end with (-1 for success).
int parse(int argc, char** argv, Options& o)
{
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsDone && arg == "--") {
            optionsDone = true;
        } else if (!optionsDone && (arg == "-h" || arg == "--help")) {
            std::printf("%s%s", USAGE, HELP);
            return -1;
        } else if (!optionsDone && (arg == "-V" || arg == "--version")) {
            std::printf("qorvan-console %s\n", QORVAN_VERSION);
            return -1;
        } else if (!optionsDone && arg == "--no-default-module") {
            o.defaultModule = false;
        } else if (!optionsDone && (arg == "--module" || arg == "-e")) {
            if (i + 1 >= argc) return usageError(arg + " needs an argument");
            (arg == "-e" ? o.expressions : o.modules).push_back(argv[++i]);
        } else if (!optionsDone && arg.rfind("--module=", 0) == 0) {
            o.modules.push_back(arg.substr(9));
        } else if (!optionsDone && arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (o.hasScript) {
            return usageError("only one script can be given");
        } else {
            o.script = arg;
            o.hasScript = true;
        }
    }
    return 0;
}

bool loadStartModules(const Options& o)
{
    std::vector<std::string> wanted;
    if (o.defaultModule) {
        const std::string found = moduleBesideProgram("qorvan.arx");
        wanted.push_back(found.empty() ? qorvan::platform::programFolder() + "/qorvan.arx" : found);
    }
    for (const std::string& m : o.modules)
        wanted.push_back(m);
    for (const std::string& name : wanted) {
        const std::string path = findModuleFile(name);
        std::string reason = name + ": no such module";
        if (path.empty() || !loadModule(path, reason)) {
            output::diagnostic("qorvan-console: " + reason);
            return false;
        }
    }
    return true;
}

int run(int argc, char** argv)
{
    Options options;
    if (const int status = parse(argc, argv, options)) return status < 0 ? 0 : status;
    // A session ended by a signal still leaves no temporary file of a module
    // behind (the interactive prompt catches Ctrl-C itself, and the edit
    // under way then ends normally).
    qorvan::platform::installCleanupOnSignals();
    // Before the modules load, so that they find the application object.
    Gui gui(argc, argv);
    Interpreter interpreter;
    if (!loadStartModules(options)) {
        unloadAllModules();
        return 1;
    }
    bool ok = true;
    for (const std::string& e : options.expressions)
        ok = runText(interpreter, e, true) && ok;
    if (options.hasScript) ok = runScript(interpreter, options.script) && ok;
    if (options.expressions.empty() && !options.hasScript) runInteractive(interpreter);
    unloadAllModules();
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return qorvan::platform::finishStandardOutput("qorvan-console", run(argc, argv));
    } catch (const std::exception& e) {
        output::diagnostic(std::string("qorvan-console: ") + e.what());
    } catch (...) {
        output::diagnostic("qorvan-console: unexpected failure");
    }
    return 1;
}
