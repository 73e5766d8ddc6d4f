// The rewrite through a temporary file.
#include "store/rewrite_p.h"

#include "store/library_codec.h"
#include "store/limits.h"
#include "store/status.h"

#include "platform/path.h"
#include "platform/save_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qorvan::detail {

CopyFault copyBytes(
    platform::File& from, platform::File& to, std::int64_t size, std::vector<char>& buffer, std::size_t chunk)
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

std::string tempText(const LibraryFile& lib, const platform::SaveFile& save)
{
    // In the library's own folder the user's form of the path; beside a
    // link's target elsewhere, the native one, which is where it really is.
    if (save.tempName().empty()) return lib.dirText + lib.stem + ".tmp";
    const std::string inFolder = joinNative(lib.nativeDir, save.tempName());
    if (save.tempPath() == inFolder) return lib.dirText + save.tempName();
    return save.tempPath();
}

namespace {

    // Where an added piece's bytes come from: an open file, and its name for
    // messages; null when it cannot be had.
    using ExtraSource = std::function<platform::File*(const Piece&, std::string& text)>;

    StatusCode rewriteWith(const LibraryFile& lib, platform::File* old, const std::vector<Piece>& pieces,
        const ExtraSource& extraFor)
    {
        std::int64_t total = firstSlideOffset(pieces.size());
        bool needsLibrary = false;
        for (const Piece& p : pieces) {
            total += p.size;
            needsLibrary = needsLibrary || !p.fromExtra;
        }
        if (total > MAX_LIBRARY_BYTES || pieces.size() > MAX_LIBRARY_SLIDES)
            return setStatus(NoMemory, nullptr, nullptr);

        platform::FileId oldId;
        if ((needsLibrary && !old) || (old && !old->id(oldId)))
            return setStatus(CannotOpen, lib.writerText.c_str(), nullptr);
        // Through a link, the temporary file lies beside the library it points
        // to and is named after it, as a user looking there would expect.
        const std::string real = lib.native.empty() ? lib.native : platform::followLinks(lib.native);
        const std::string stem
            = real.empty() || real == lib.native ? lib.stem : temporaryStem(platform::nativeNameOf(real));
        platform::SaveFile save;
        save.allowReplacingInput();
        if (!save.open(lib.native, stem)) {
            if (save.failure() == platform::SaveFile::Failure::Target)
                return setStatus(CannotOpen, lib.writerText.c_str(), nullptr);
            return setStatus(CannotOpen, tempText(lib, save).c_str(), nullptr);
        }
        // Replacing needs the right to write the library itself, as editing it
        // in place would; the folder's write bit alone would let anyone who may
        // add files there rewrite a read-only library.
        if (save.targetExisted() && ::faccessat(AT_FDCWD, save.target().c_str(), W_OK, AT_EACCESS) != 0) {
            platform::noteFailure(platform::IoOp::Write, save.target());
            return setStatus(CannotOpen, lib.writerText.c_str(), nullptr);
        }
        if (old)
            save.expectTarget(oldId);
        else
            save.expectNoTarget();
        // Every failure below leaves the library as it was; the destructor
        // removes the temporary file.
        auto fail = [&](const std::string& named) { return setStatus(CannotOpen, named.c_str(), nullptr); };

        if (!writeHead(save.file(), pieces)) return fail(tempText(lib, save));
        std::vector<char> buffer;
        for (std::size_t i = 0; i < pieces.size();) {
            const Piece& p = pieces[i];
            // Slides that lie back to back in the old library are copied as one
            // run: one seek, and pieces as large as the buffer.
            std::int64_t run = p.size;
            std::size_t next = i + 1;
            while (!p.fromExtra && next < pieces.size() && !pieces[next].fromExtra
                && pieces[next].sourceOffset == p.sourceOffset + run)
                run += pieces[next++].size;
            i = next;
            std::string extraText;
            platform::File* from = old;
            if (p.fromExtra) {
                from = extraFor(p, extraText);
                if (!from) return fail(extraText);
            }
            if (!p.fromExtra && !old->seek(p.sourceOffset)) return fail(lib.writerText);
            // In the kernel where it can (a reflink costs next to nothing on
            // file systems that share blocks), else through the buffer.
            const std::int64_t at = p.fromExtra ? from->tell() : p.sourceOffset;
            CopyFault fault = CopyFault::None;
            switch (at < 0 ? platform::File::KernelCopy::Unsupported
                           : save.file().copyRangeFrom(*from, at, run)) {
            case platform::File::KernelCopy::Done:
                break;
            case platform::File::KernelCopy::Unsupported:
                fault = copyBytes(*from, save.file(), run, buffer, REWRITE_CHUNK);
                break;
            case platform::File::KernelCopy::ReadFailed:
                fault = CopyFault::Read;
                break;
            case platform::File::KernelCopy::WriteFailed:
                fault = CopyFault::Write;
                break;
            }
            switch (fault) {
            case CopyFault::None:
                break;
            case CopyFault::Read:
                return fail(p.fromExtra ? extraText : lib.writerText);
            case CopyFault::Write:
                return fail(tempText(lib, save));
            }
        }
        const std::string text = tempText(lib, save);
        if (!save.commit()) {
            if (save.failure() == platform::SaveFile::Failure::Temp) return fail(text);
            return fail(lib.writerText);
        }
        return Ok;
    }

} // namespace

StatusCode rewriteLibrary(const LibraryFile& lib, platform::File* old, const std::vector<Piece>& pieces,
    platform::File* extra, const std::string& extraText)
{
    return rewriteWith(lib, old, pieces, [&](const Piece&, std::string& text) {
        text = extraText;
        return extra;
    });
}

StatusCode rewriteLibrary(const LibraryFile& lib, platform::File* old, const std::vector<Piece>& pieces,
    const std::vector<ExtraFile>& extras, const std::function<void(std::size_t)>& onExtra)
{
    return rewriteWith(lib, old, pieces, [&](const Piece& p, std::string& text) -> platform::File* {
        const ExtraFile& e = extras.at(p.extra);
        text = e.text;
        if (onExtra) onExtra(p.extra);
        if (!e.file || !e.file->isOpen()) return nullptr;
        if (e.file->length() != e.size) {
            platform::noteFailure(platform::IoOp::Read, e.file->nativePath(), ESTALE);
            return nullptr;
        }
        return e.file->seek(0) ? e.file : nullptr;
    });
}

} // namespace qorvan::detail
