// The rewrite: a complete new library is written into a temporary file
// beside the old one, made durable, and renamed over it in one step.
#pragma once

#include "platform/io.h"
#include "store/library.h"
#include "store/names_p.h"
#include "store/status.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qorvan::detail {

// One slide of the new library: its name and where its bytes come from,
// either the old library (at sourceOffset) or the caller's extra file,
// which is read from its current position.
struct Piece {
    SlideName name;
    std::int64_t sourceOffset = 0;
    std::int64_t size = 0;
    bool fromExtra = false;
    std::size_t extra = 0; // which ExtraFile, for the overload that takes several
};

// Writes the library that pieces describe and puts it in lib.native's place.
// Returns Ok, or the code it recorded: NoMemory when the library would
// outgrow its 32-bit offsets (nothing written), CannotOpen naming the
// temporary file when it cannot be created or written, CannotOpen naming the
// library when the old library cannot be read or the final rename fails. On every failure the library is
// as it was and the temporary file is gone: the rename replaces the old
// file in one step, so the temporary file is never the only copy.
// extraText names the extra file when reading it fails.
// old is the library as the operation opened it, or null where there was
// none: the rewrite copies old slides through it and replaces the library
// only while the path still names that file (or still names nothing), so a
// library another program put there meanwhile is kept and the operation
// fails with CannotOpen naming the library.
StatusCode rewriteLibrary(const LibraryFile& lib, platform::File* old, const std::vector<Piece>& pieces,
    platform::File* extra, const std::string& extraText);

// A slide file added whole by a batch, open since it was measured: the
// bytes copied come through the very descriptor that was examined and
// measured, so a name given to another file meanwhile changes nothing. A
// file whose length has changed since is refused (the directory already
// written counts on that length): CannotOpen naming text, nothing replaced.
struct ExtraFile {
    std::string text;
    std::int64_t size = 0;
    platform::File* file = nullptr;
};
// The same rewrite with any number of added slides (pieces with fromExtra
// name theirs by index). onExtra(i) is called before extra i is copied.
StatusCode rewriteLibrary(const LibraryFile& lib, platform::File* old, const std::vector<Piece>& pieces,
    const std::vector<ExtraFile>& extras, const std::function<void(std::size_t)>& onExtra);

// Copies size bytes in pieces of at most chunk bytes. None when done, else
// which side failed.
enum class CopyFault { None, Read, Write };
CopyFault copyBytes(platform::File& from, platform::File& to, std::int64_t size, std::vector<char>& buffer,
    std::size_t chunk);

} // namespace qorvan::detail
