// Every fixed text the module prints on the host's command line, in one
// place. Scripts and users compare these byte for byte, so several texts
// that look like slips are kept exactly as they stand, on purpose:
//
//   TOOLKIT_DATE, TOOLKIT_TIME  the toolkit banner's date is the date the
//                               toolkit was built, a constant, not today's
//   POSITION_FILE_BASE          "RVK_DCL": the position file's name (in
//                               position_table.h) is kept so that existing
//                               files are found
//   TOO_FEW_ARGUMENTS           "to few" is misspelt, and scripts match it
//   DEFINE_FAILED_FORMAT        in Korean, as it has always been printed;
//                               it reads "Cannot define function (%s)!"
//   TYPE_MISMATCH_FORMAT        the space before the colon is kept
#pragma once

#include "qorvan_version.h"

namespace qorvan::host {

// The toolkit's credit banner, printed at initialisation and before a
// command called from AutoLISP.
inline constexpr const char TOOLKIT_CREDIT_1[]
    = "\nQorvan toolkit for release 15 hosts: slide libraries and slides";
inline constexpr const char TOOLKIT_CREDIT_2[] = "\nCopyright (c) 2026 The Qorvan developers, MIT licence";
inline constexpr const char TOOLKIT_DATE_FORMAT[] = "\nRVK portions created on %s, %s";
inline constexpr const char TOOLKIT_DATE[] = "Sep 23 1999";
inline constexpr const char TOOLKIT_TIME[] = "03:59:38";

// The module's banner, printed first by every handler but slb-error.
inline constexpr const char MODULE_TITLE[] = "\nQorvan & Library Handling Functions";
inline constexpr const char MODULE_VERSION[] = "\nVersion " QORVAN_VERSION_SHORT " by ";
inline constexpr const char MODULE_AUTHOR[] = "the Qorvan developers";

// Argument faults of the handlers.
inline constexpr const char TOO_FEW_ARGUMENTS[] = "\nerror: to few arguments\n";
inline constexpr const char INVALID_ARGUMENT[] = "\nerror: invalid argument\n";
inline constexpr const char TYPE_MISMATCH_FORMAT[] = "\ngetAtom : type mismatched! (%d)";

// The application module's dispatch.
inline constexpr const char UNKNOWN_SUBROUTINE[] = "\nUnknown subroutine!";
inline constexpr const char DEFINE_FAILED_FORMAT[] = "\n함수(%s)를 정의할 수 없습니다!";

// slb-view and QORVAN where no dialog can be shown.
inline constexpr const char NO_DISPLAY[]
    = "\nerror: no display for the dialog (set DISPLAY, or QT_QPA_PLATFORM=offscreen)\n";

} // namespace qorvan::host
