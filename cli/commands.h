// The subcommand groups of qorvan. Each add function adds its subcommands
// to the set (those it builds); the one the user picks stores what it will
// run in action, which main calls after parsing.
#pragma once

#include <functional>

#include "cli/command_set.h"

namespace CLI {
class App;
}

namespace qorvan::cli {

using Action = std::function<int()>;

void addLibraryCommands(CommandSet& commands, Action& action);
void addInfoCommand(CommandSet& commands, Action& action);
void addCheckCommand(CommandSet& commands, Action& action);
void addRenderCommands(CommandSet& commands, Action& action);
void addGalleryCommand(CommandSet& commands, Action& action);
void addThumbnailCommand(CommandSet& commands, Action& action);
void addInspectCommands(CommandSet& commands, Action& action);
void addMakeCommand(CommandSet& commands, Action& action);
// help and completion read app's other subcommands: add them last, with
// every other command.
void addHelpCommands(CLI::App& app, Action& action);

} // namespace qorvan::cli
