// The subcommand groups of qorvan. Each add function registers its
// subcommands on app; the one the user picks stores what it will run in
// *action, which main calls after parsing.
#pragma once

#include <functional>

namespace CLI {
class App;
}

namespace qorvan::cli {

using Action = std::function<int()>;

void addLibraryCommands(CLI::App& app, Action& action);
void addInfoCommand(CLI::App& app, Action& action);
void addCheckCommand(CLI::App& app, Action& action);
void addRenderCommands(CLI::App& app, Action& action);
void addGalleryCommand(CLI::App& app, Action& action);
void addThumbnailCommand(CLI::App& app, Action& action);
void addInspectCommands(CLI::App& app, Action& action);
void addMakeCommand(CLI::App& app, Action& action);
// help and completion read app's other subcommands: add them last.
void addHelpCommands(CLI::App& app, Action& action);

} // namespace qorvan::cli
