// The two banners: the toolkit's credit lines (printed at initialisation and
// before a command called from AutoLISP) and the module's own banner that
// every handler but slb-error prints first.
#pragma once

#include "host/messages.h"

namespace qorvan::host {

typedef int (*PrintFunction)(const char* text);

// Four pieces through print: two credit lines, the dated line and "\n".
void printToolkitBanner(PrintFunction print);
// The module banner through acutPrintf, then the status reset to code 0.
void printModuleBanner();

} // namespace qorvan::host
