// The editing operations on slide libraries. Each returns a StatusCode: 0 on
// success, otherwise the code it or an inner step recorded with setStatus.
// None resets the status first; callers do. A library is never edited in
// place: it is rewritten into a temporary file that replaces it atomically.
#pragma once

#include "store/library.h"

#include <functional>
#include <string>
#include <vector>

namespace qorvan {

// Largest piece extractEntry reads and writes at a time.
inline constexpr std::size_t COPY_CHUNK = 61439;

int createLibrary(const char* library);
int appendSlide(const char* library, const char* slideFile);
int deleteSlide(const char* library, const char* name);
int extractEntry(const char* directory, const char* library, const char* name,
                 const std::vector<LibraryEntry>& entries);
int extractSlide(const char* library, const char* name, const char* directory);
int explodeLibrary(const char* library, const char* directory);
// The same, calling onSlide(done, total, name) after each slide written, all
// under the one writers' lock (a caller that read the directory itself and
// extracted entry by entry would copy stale positions if the library were
// rewritten in between).
int explodeLibrary(const char* library, const char* directory,
                   const std::function<void(std::size_t, std::size_t, const std::string&)>& onSlide);
int removeSlide(const char* library, const char* name, const char* directory);
int replaceSlide(const char* library, const char* slideFile);

// Renames the slide oldName (matched without regard to case) to newName,
// upper-cased and cut to 31 characters, keeping its place in the directory.
// 0, or 1, 4, 6, 7 as the reader reports; 3 when the new name cannot be a
// slide name; 5 when oldName is absent; 8 when another slide has newName.
int renameSlide(const char* library, const char* oldName, const char* newName);

} // namespace qorvan
