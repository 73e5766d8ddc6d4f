// qorvan in a build without the dialogs: there is no qorvan-dialogs to hand
// view and manager to, so they are not commands (the tool says so when they
// are typed), and nothing is ever forwarded.
#include "cli/common.h"
#include "cli/dialogs.h"

namespace qorvan::cli {

void addDialogCommands(CommandSet&, ViewOptions&, DialogRun*, DialogRun, DialogRun)
{
}

int forwardView(int, char**, const ViewOptions&)
{
    return EXIT_USAGE;
}

int forwardManager(int, char**, const ViewOptions&)
{
    return EXIT_USAGE;
}

} // namespace qorvan::cli
