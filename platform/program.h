// Facts about the running program that the console, the tool and the module
// all need: where it lives (to find the pieces installed beside it) and
// whether a display can be reached (before the toolkit is asked to open
// one, since the toolkit ends the program when it cannot).
#pragma once

#include <string>

namespace qorvan::platform {

// The folder holding this program's executable, without a trailing slash;
// empty when the system will not say.
std::string programFolder();

// Whether a display can be reached: QT_QPA_PLATFORM set (offscreen among
// them), a Wayland socket or a local X server's socket present, or a remote
// X display named.
bool displayAvailable();

} // namespace qorvan::platform
