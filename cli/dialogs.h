// The subcommands of qorvan that open the dialogs: view and manager.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace qorvan::cli {

struct ViewOptions {
    std::string ref;
    std::string title;
    bool haveTitle = false;
    std::string size; // "WxH"
};

// Adds "view" and "manager" to app; *run is set to the one chosen.
void addDialogCommands(CLI::App& app, ViewOptions& view, int (**run)(int, char**, const ViewOptions&));

} // namespace qorvan::cli
