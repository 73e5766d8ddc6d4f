// The desktop side of opening links on POSIX: xdg-open, the HTML handler
// from the desktop's MIME defaults (mimeapps.list and the desktop entries
// of the XDG data directories), and starting a command line detached.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qorvan::ui::desktop {

// The first desktop id a mimeapps.list text names for mime under
// [Default Applications] (or [Added Associations] when asked).
std::optional<std::string> defaultApplication(std::string_view mimeappsText, std::string_view mime,
    std::string_view section = "[Default Applications]");

// The Exec= value of a desktop entry's [Desktop Entry] group.
std::optional<std::string> execLine(std::string_view desktopEntryText);

// The Exec line of the HTML handler the XDG directories name now.
std::optional<std::string> htmlHandlerCommand();

} // namespace qorvan::ui::desktop
