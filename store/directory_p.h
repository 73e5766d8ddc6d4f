// The directory reader on a library already resolved, shared by
// readDirectory and every editing operation.
#pragma once

#include "platform/io.h"
#include "store/library.h"
#include "store/names_p.h"

#include <vector>

namespace qorvan::detail {

// readDirectory's steps and results on lib.native, with the messages'
// texts taken from lib. Empty on failure, with the code recorded.
std::vector<LibraryEntry> readDirectoryOf(const LibraryFile& lib);
// The same on a library the caller has just opened (at its start), so that what an operation
// reads afterwards comes from the very file whose directory it read.
std::vector<LibraryEntry> readDirectoryFrom(platform::File& file, const LibraryFile& lib);

// True when lib.native is a library header followed at once by the
// terminating entry: the only existing file a new library may replace.
bool isEmptyLibrary(const LibraryFile& lib);

} // namespace qorvan::detail
