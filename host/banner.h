// The two banners: the toolkit's credit lines (printed at initialisation and
// before a command called from AutoLISP) and the module's own banner that
// every handler but slb-error prints first.
#pragma once

#include "qorvan_version.h"

namespace qorvan::host {

inline constexpr const char TOOLKIT_CREDIT_1[] = "\nQorvan toolkit for release 15 hosts: slide libraries and slides";
inline constexpr const char TOOLKIT_CREDIT_2[] = "\nCopyright (c) 2026 The Qorvan developers, MIT licence";
inline constexpr const char TOOLKIT_DATE_FORMAT[] = "\nRVK portions created on %s, %s";
inline constexpr const char TOOLKIT_DATE[] = "Sep 23 1999";
inline constexpr const char TOOLKIT_TIME[] = "03:59:38";

inline constexpr const char MODULE_TITLE[] = "\nQorvan & Library Handling Functions";
inline constexpr const char MODULE_VERSION[] = "\nVersion " QORVAN_VERSION_SHORT " by ";
inline constexpr const char MODULE_AUTHOR[] = "the Qorvan developers";

typedef int (*PrintFunction)(const char* text);

// Four pieces through print: two credit lines, the dated line and "\n".
void printToolkitBanner(PrintFunction print);
// The module banner through acutPrintf, then the status reset to code 0.
void printModuleBanner();

} // namespace qorvan::host
