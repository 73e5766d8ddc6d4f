// Where the command groups add their subcommands. Building every command's
// options is most of the work of a start, and qorvan is started once per
// slide by scripts and thumbnailers, so a run that names its command builds
// that command alone; each name is written once, where its command is added.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace qorvan::cli {

class CommandSet {
public:
    // Every command, or with only set the command of that name alone.
    explicit CommandSet(CLI::App& app, std::string only = {});

    // Adds the subcommand name to the app; null when this set builds
    // another command alone, and then nothing is to be added to it.
    CLI::App* add(const std::string& name, const std::string& description);

    // Whether any command was added: a word that names no command added
    // nothing, and the caller then builds them all.
    bool addedAny() const { return added_; }

private:
    CLI::App& app_;
    std::string only_;
    bool added_ = false;
};

} // namespace qorvan::cli
