// The rewrite: a complete new library is written into a temporary file
// beside the old one, made durable, and renamed over it in one step.
#pragma once

#include "platform/io.h"
#include "store/library.h"
#include "store/names_p.h"

#include <cstdint>
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
};

// Writes the library that pieces describe and puts it in lib.native's place.
// Returns 0, or the code it recorded: 6 when the library would outgrow its
// 32-bit offsets (nothing written), 1 naming the temporary file when it
// cannot be created or written (it is removed), 1 naming the library when
// the old library cannot be read (the temporary file is removed) or the
// final rename or its flush fails (the temporary file, then the only
// complete copy, stays).
// extraText names the extra file when reading it fails.
int rewriteLibrary(const LibraryFile& lib, const std::vector<Piece>& pieces, platform::File* extra,
                   const std::string& extraText);

// A file created exclusively under a free name "<stem>.tmp", "<stem>-1.tmp"
// ... in nativeDir; text is the name as the user would write it (dirText
// and the file name), for messages.
struct TempFile {
    platform::File file;
    std::string native;
    std::string text;
};
// False on failure, with text set to the name that could not be created;
// nothing is recorded, so each caller names what the user will understand.
bool createTemp(const std::string& nativeDir, const std::string& dirText, const std::string& stem, TempFile& out);

// Copies size bytes in pieces of at most chunk bytes. 0 when done, else
// which side failed.
enum class CopyFault { None, Read, Write };
CopyFault copyBytes(platform::File& from, platform::File& to, std::int64_t size, std::vector<char>& buffer,
                    std::size_t chunk);

} // namespace qorvan::detail
