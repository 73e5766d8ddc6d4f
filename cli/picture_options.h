// The options every command that draws pictures shares, parsed into
// PictureChoices; and -j.
#pragma once

#include "cli/common.h"

namespace CLI {
class App;
}

namespace qorvan::cli {

// Adds --background, --colour-7, --fit and --style to command, with
// defaults as choices holds them on entry.
void addPictureOptions(CLI::App& command, PictureChoices& choices);

// Adds -j/--jobs (default: the number of cores).
void addJobsOption(CLI::App& command, int& jobs);

} // namespace qorvan::cli
