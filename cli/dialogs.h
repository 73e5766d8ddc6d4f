// The subcommands that open the dialogs, view and manager. qorvan itself
// does not link the dialog toolkit (loading it would double the start-up
// time of every other command): it parses these commands and hands them to
// the program qorvan-dialogs beside it, which parses them the same way.
#pragma once

#include <string>

#include "cli/command_set.h"

namespace qorvan::cli {

struct ViewOptions {
    std::string ref;
    std::string title;
    bool haveTitle = false;
    std::string size; // "WxH"
    std::string place; // manager: a folder to browse or a library to open
};

using DialogRun = int (*)(int argc, char** argv, const ViewOptions& view);

// Adds "view" and "manager" to the set; *chosen is set to viewRun or
// managerRun when that subcommand is parsed.
void addDialogCommands(
    CommandSet& commands, ViewOptions& view, DialogRun* chosen, DialogRun viewRun, DialogRun managerRun);

// Runs qorvan-dialogs (from qorvan's own folder, or where it is installed)
// with the same arguments;
// returns only when it cannot be started.
int forwardToDialogs(int argc, char** argv, const ViewOptions& view);

} // namespace qorvan::cli
