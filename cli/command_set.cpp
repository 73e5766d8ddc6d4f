#include "cli/command_set.h"

#include <CLI/CLI.hpp>

#include <utility>

namespace qorvan::cli {

CommandSet::CommandSet(CLI::App& app, std::string only)
    : app_(app)
    , only_(std::move(only))
{
}

CLI::App* CommandSet::add(const std::string& name, const std::string& description)
{
    if (!only_.empty() && name != only_) return nullptr;
    added_ = true;
    return app_.add_subcommand(name, description);
}

} // namespace qorvan::cli
