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

// The View Slide picture's size --size asks for (the default without it);
// false, with the reason on standard error, for one that is no size.
bool viewSize(const ViewOptions& view, int& width, int& height);

// Run qorvan-dialogs (from qorvan's own folder, or where it is installed)
// with the same arguments once the operand is known to be what the dialog
// wants: a dialog would only show a failure in a box and end with status 0,
// so a reference that names no slide, or a manager operand that is no
// folder or library, is said on standard error (status 1) instead. They
// return only when the dialogs do not run.
int forwardView(int argc, char** argv, const ViewOptions& view);
int forwardManager(int argc, char** argv, const ViewOptions& view);

} // namespace qorvan::cli
