// How a user path (as the module's users write them: C:\SLIDES\PARTS,
// parts, work\Parts.SLB) becomes a native POSIX path. docs/paths.md tells
// users the same rules.
//
// - '\' and '/' both separate directories.
// - A leading drive "X:" is removed. When the environment variable
//   QORVAN_DRIVE_X (X the upper-case letter) names a directory, the rest of
//   the path is taken relative to it; otherwise "X:\a" is "/a" and "X:a" is
//   "a" (relative to the current directory).
// - When the path does not exist as written, it is resolved one component at
//   a time ignoring ASCII letter case; where several entries differ only in
//   case, the exact match wins, else the first in byte order.
#pragma once

#include <string>
#include <string_view>

namespace qorvan::platform {

// The drive a user path starts with, "X:", and the folder standing for it.
struct DrivePrefix {
    char letter = 0; // upper case; 0 when the path has no drive
    std::string variable; // QORVAN_DRIVE_X
    std::string folder; // the variable's value; empty when it is unset or empty
};
DrivePrefix drivePrefix(std::string_view userPath);
// QORVAN_DRIVE_X for a drive letter in either case.
std::string driveVariable(char letter);

// Separators and drive mapped, no disk access.
std::string toNativePath(std::string_view userPath);

// The native path of an existing entry that the user path names, found
// case-insensitively. When nothing matches, the components that could not be
// found are kept as written (so an open then fails with "no such file").
std::string resolveExisting(std::string_view userPath);

// The native path at which a file named by the user path is created: the
// directories are resolved as for reading; the last component is an existing
// entry that matches it case-insensitively, else the component as written,
// so a new file keeps the caller's letter case.
std::string resolveForCreate(std::string_view userPath);

bool pathExists(std::string_view userPath);

} // namespace qorvan::platform
