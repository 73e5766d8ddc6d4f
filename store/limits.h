// Every bound the store enforces, in one place. docs/store.md tells users
// the same numbers and what happens at each.
#pragma once

#include "platform/path.h"

#include <cstddef>
#include <cstdint>

namespace qorvan {

// Offsets in a directory entry are signed 32-bit, so no byte of a library can
// lie beyond this; a longer file cannot be described and is refused.
inline constexpr std::int64_t MAX_LIBRARY_BYTES = 0x7fffffff;

// The most directory entries a library may hold. Reading the directory costs
// memory and time in proportion to it, and a hostile file could otherwise
// make a count of tens of millions out of a sparse file.
inline constexpr std::size_t MAX_LIBRARY_SLIDES = 200000;

// Paths and names live in 256-byte buffers: at most 255 characters.
inline constexpr std::size_t MAX_PATH_CHARS = platform::MAX_PATH_CHARS;

// How many free names a temporary file tries before giving up.
inline constexpr int MAX_TEMP_ATTEMPTS = 1000;

// The piece a rewrite copies old slides in; large enough that a rewrite
// streams at the disk's pace, small enough to be nothing beside a slide
// library in memory.
inline constexpr std::size_t REWRITE_CHUNK = 1024 * 1024;

// How long an editing operation waits for the writers' lock held by another
// process before it gives up, so that one stuck writer (on a slow network
// share, say) cannot make every other wait forever.
inline constexpr int LOCK_WAIT_MS = 30000;

} // namespace qorvan
