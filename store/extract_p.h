// Extraction of one entry of a directory the caller already read, inside
// the store only: outside it, the library could be rewritten between the
// read and the copy, and the entry would point at another slide's bytes.
#pragma once

#include "store/library.h"
#include "store/status.h"

#include <vector>

namespace qorvan {

// Writes the entry called name (any case) of entries, read from library,
// into directory as NAME.SLD, in pieces of COPY_CHUNK bytes. Ok, or
// SlideNotFound, or CannotOpen naming the file that failed.
StatusCode extractEntry(
    const char* directory, const char* library, const char* name, const std::vector<LibraryEntry>& entries);

} // namespace qorvan
