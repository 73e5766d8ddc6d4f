// The directory reader on a library already resolved, shared by
// readDirectory and every editing operation.
#pragma once

#include "store/library.h"
#include "store/names_p.h"

#include <vector>

namespace qorvan::detail {

// readDirectory's steps and results on lib.native, with the messages'
// texts taken from lib. Empty on failure, with the code recorded.
std::vector<LibraryEntry> readDirectoryOf(const LibraryFile& lib);

// True when lib.native is a library header followed at once by the
// terminating entry: the only existing file a new library may replace.
bool isEmptyLibrary(const LibraryFile& lib);

} // namespace qorvan::detail
