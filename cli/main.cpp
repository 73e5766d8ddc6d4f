// qorvan: the command-line tool over the slide library store and the slide
// code, without the CAD host.
#ifdef QORVAN_CLI_DIALOGS
#include "cli/dialogs.h"
#endif

#include <CLI/CLI.hpp>

int main(int argc, char** argv)
{
    CLI::App app{"qorvan: work with AutoCAD slide libraries (.slb) and slides (.sld)"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "qorvan 1.5");
#ifdef QORVAN_CLI_DIALOGS
    qorvan::cli::ViewOptions view;
    int (*run)(int, char**, const qorvan::cli::ViewOptions&) = nullptr;
    qorvan::cli::addDialogCommands(app, view, &run);
    CLI11_PARSE(app, argc, argv);
    return run ? run(argc, argv, view) : 0;
#else
    CLI11_PARSE(app, argc, argv);
    return 0;
#endif
}
