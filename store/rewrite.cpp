// The rewrite through a temporary file.
#include "store/rewrite_p.h"

#include "store/library_codec.h"
#include "store/limits.h"
#include "store/status.h"

#include <cerrno>

namespace qorvan::detail {

bool createTemp(const std::string& nativeDir, const std::string& dirText, const std::string& stem, TempFile& out)
{
    std::string firstText;
    for (int attempt = 0; attempt < MAX_TEMP_ATTEMPTS; ++attempt) {
        std::string name = stem + (attempt == 0 ? "" : "-" + std::to_string(attempt)) + ".tmp";
        std::string text = dirText + name;
        if (attempt == 0) firstText = text;
        if (text.size() > MAX_PATH_CHARS) break;
        std::string native = joinNative(nativeDir, name);
        errno = 0;
        platform::File f = platform::File::openNative(native, platform::OpenMode::CreateNew);
        if (f.isOpen()) {
            out.file = std::move(f);
            out.native = std::move(native);
            out.text = std::move(text);
            return true;
        }
        // Anything but a name in use (no such folder, no access, an I/O
        // error) would fail again under the next name.
        if (errno != EEXIST) {
            firstText = text;
            break;
        }
    }
    out.text = firstText;
    return false;
}

CopyFault copyBytes(platform::File& from, platform::File& to, std::int64_t size, std::vector<char>& buffer,
                    std::size_t chunk)
{
    if (buffer.size() < chunk) buffer.resize(chunk);
    while (size > 0) {
        std::size_t n = size > static_cast<std::int64_t>(chunk) ? chunk : static_cast<std::size_t>(size);
        if (!from.readExact(buffer.data(), n)) return CopyFault::Read;
        if (!to.write(buffer.data(), n)) return CopyFault::Write;
        size -= static_cast<std::int64_t>(n);
    }
    return CopyFault::None;
}

namespace {

// Header, directory with offsets laid out without gaps, terminating entry.
bool writeHead(platform::File& out, const std::vector<Piece>& pieces)
{
    std::vector<LibraryEntry> entries(pieces.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        entries[i].name = pieces[i].name;
        entries[i].size = static_cast<std::int32_t>(pieces[i].size);
    }
    std::vector<std::uint8_t> head = encodeLibraryHead(entries);
    return out.write(head.data(), head.size());
}

} // namespace

int rewriteLibrary(const LibraryFile& lib, const std::vector<Piece>& pieces, platform::File* extra,
                   const std::string& extraText)
{
    std::int64_t total = firstSlideOffset(pieces.size());
    bool needsLibrary = false;
    for (const Piece& p : pieces) {
        total += p.size;
        needsLibrary = needsLibrary || !p.fromExtra;
    }
    if (total > MAX_LIBRARY_BYTES || pieces.size() > MAX_LIBRARY_SLIDES) return setStatus(NoMemory, nullptr, nullptr);

    platform::File old;
    if (needsLibrary) {
        old = platform::File::openNative(lib.native, platform::OpenMode::Read);
        if (!old.isOpen()) return setStatus(CannotOpen, lib.writerText.c_str(), nullptr);
    }
    TempFile tmp;
    if (!createTemp(lib.nativeDir, lib.dirText, lib.stem, tmp)) return setStatus(CannotOpen, tmp.text.c_str(), nullptr);

    auto abandon = [&](const std::string& named) {
        tmp.file.close();
        platform::removeNative(tmp.native);
        return setStatus(CannotOpen, named.c_str(), nullptr);
    };

    if (!writeHead(tmp.file, pieces)) return abandon(tmp.text);
    std::vector<char> buffer;
    for (std::size_t i = 0; i < pieces.size();) {
        const Piece& p = pieces[i];
        // Slides that lie back to back in the old library are copied as one
        // run: one seek, and pieces as large as the buffer.
        std::int64_t run = p.size;
        std::size_t next = i + 1;
        while (!p.fromExtra && next < pieces.size() && !pieces[next].fromExtra &&
               pieces[next].sourceOffset == p.sourceOffset + run)
            run += pieces[next++].size;
        i = next;
        platform::File& from = p.fromExtra ? *extra : old;
        if (!p.fromExtra && !old.seek(p.sourceOffset)) return abandon(lib.writerText);
        switch (copyBytes(from, tmp.file, run, buffer, REWRITE_CHUNK)) {
        case CopyFault::None:
            break;
        case CopyFault::Read:
            return abandon(p.fromExtra ? extraText : lib.writerText);
        case CopyFault::Write:
            return abandon(tmp.text);
        }
    }
    old.close(); // read-only: a failing close loses nothing
    if (!tmp.file.flush()) return abandon(tmp.text);
    if (!tmp.file.close()) {
        platform::removeNative(tmp.native);
        return setStatus(CannotOpen, tmp.text.c_str(), nullptr);
    }
    // The one step that changes the library. Should it fail, the temporary
    // file is the only complete new copy and stays for the user.
    if (!platform::renameNative(tmp.native, lib.native)) return setStatus(CannotOpen, lib.writerText.c_str(), nullptr);
    if (!platform::syncDirectoryOfNative(lib.native)) return setStatus(CannotOpen, lib.writerText.c_str(), nullptr);
    return Ok;
}

} // namespace qorvan::detail
