#include "slide/slide_source.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/path.h"
#include "platform/resolve.h"
#include "slide/format.h"
#include "slide/records.h"
#include "store/library_codec.h"
#include "store/slide_ref.h"
#include "store/status.h"
#include "store/whole_file.h"

namespace qorvan::slide {

namespace {

    // The directory and then the one slide named: a library of gigabytes
    // costs what its directory and that slide cost.
    StatusCode loadLibrarySlide(
        const ToolRef& found, const std::string& ref, LoadedSlide& out, std::size_t limit)
    {
        platform::File file = platform::File::open(found.file, platform::OpenMode::Read);
        if (!file.isOpen()) return setStatus(CannotOpen, found.file.c_str(), nullptr);
        const DecodedLibrary d = decodeLibrary(file, DecodeMode::Lenient);
        if (!d.magic) return setStatus(InvalidLibrary, nullptr, nullptr);
        if (const DecodedEntry* e = findSlideEntry(d, found.name, NameMatch::AnyCase)) {
            out = LoadedSlide {};
            out.label = ref;
            out.offset = e->offset;
            if (e->offset >= 0 && e->offset < d.length && e->size > 0)
                out.bytes = readSlideAt(file, e->offset, std::min(e->size, d.length - e->offset), limit);
            out.order = detectByteOrder(out.bytes.data(), out.bytes.size());
            return Ok;
        }
        return setStatus(SlideNotFound, found.file.c_str(), platform::toUpperAscii(found.name).c_str());
    }

} // namespace

bool isLibraryFile(const std::vector<std::uint8_t>& bytes)
{
    return libraryHeaderIsValid(bytes.data(), bytes.size());
}

bool startsLikeSlide(const std::vector<std::uint8_t>& bytes)
{
    return bytes.size() >= SLIDE_SIGNATURE_SIZE
        && std::memcmp(bytes.data(), SLIDE_SIGNATURE, SLIDE_SIGNATURE_SIZE) == 0;
}

bool checkSlideBytes(const std::vector<std::uint8_t>& bytes, std::string& why)
{
    if (bytes.empty()) {
        why = "the file is empty";
        return false;
    }
    if (isLibraryFile(bytes)) {
        why = "it is a slide library (qorvan explode writes its slides as files)";
        return false;
    }
    if (!startsLikeSlide(bytes)) {
        why = "it does not start as a slide does";
        return false;
    }
    const OrderGuess order = detectByteOrder(bytes.data(), bytes.size());
    const HeaderFields h = readHeaderFields(bytes.data(), bytes.size(), order.order);
    if (!h.complete) {
        why = "it ends inside the slide header (" + std::to_string(bytes.size()) + " bytes)";
        return false;
    }
    const RecordWalk walk
        = walkRecords(bytes.data(), bytes.size(), h.headerSize, order.order, [](const SlideRecord&) {});
    if (walk.records == 0) {
        why = "it holds no complete record after its header";
        return false;
    }
    return true;
}

LibraryScan scanLibrary(const std::vector<std::uint8_t>& bytes)
{
    const DecodedLibrary d = decodeLibrary(bytes.data(), bytes.size(), DecodeMode::Lenient);
    LibraryScan scan;
    scan.magic = d.magic;
    scan.terminated = d.terminated;
    scan.directoryEnd = d.directoryEnd;
    scan.entries.reserve(d.entries.size());
    for (const DecodedEntry& e : d.entries)
        scan.entries.push_back({ slideNameText(e.name), e.entryOffset, e.offset, e.size });
    return scan;
}

std::vector<std::uint8_t> readSlideAt(
    platform::File& file, std::int64_t offset, std::int64_t size, std::size_t limit)
{
    std::vector<std::uint8_t> out;
    if (size <= 0 || offset < 0) return out;
    if (limit == NO_READ_LIMIT) {
        out.resize(static_cast<std::size_t>(size));
        if (!file.seek(offset)) return {};
        out.resize(file.read(out.data(), out.size()));
        return out;
    }
    const std::size_t most
        = static_cast<std::size_t>(std::min<std::int64_t>(size, static_cast<std::int64_t>(limit)));
    // Read in growing pieces until the end record turns up, so that the
    // bytes after it (a sparse gigabyte, say) are never read.
    for (std::size_t want = std::min<std::size_t>(most, 64 * 1024);; want = std::min(most, want * 4)) {
        out.resize(want);
        if (!file.seek(offset)) return {};
        out.resize(file.read(out.data(), out.size()));
        const OrderGuess order = detectByteOrder(out.data(), out.size());
        const HeaderFields h = readHeaderFields(out.data(), out.size(), order.order);
        if (h.complete) {
            const RecordWalk walk
                = walkRecords(out.data(), out.size(), h.headerSize, order.order, [](const SlideRecord&) {});
            if (walk.endRecord) {
                out.resize(walk.stopOffset);
                return out;
            }
        }
        if (out.size() < want || want == most) return out;
    }
}

LoadedSlide sliceSlide(const std::vector<std::uint8_t>& library, std::int64_t offset, std::int64_t size,
    const std::string& label)
{
    LoadedSlide s;
    s.label = label;
    s.offset = offset;
    const auto length = static_cast<std::int64_t>(library.size());
    if (offset >= 0 && offset < length) {
        std::int64_t end = size > 0 ? std::min(length, offset + size) : offset;
        s.bytes.assign(library.begin() + offset, library.begin() + end);
    }
    s.order = detectByteOrder(s.bytes.data(), s.bytes.size());
    return s;
}

bool existsAsWritten(const std::string& ref)
{
    // Found without regard to letter case, as every path is.
    return !ref.empty() && platform::pathExists(ref);
}

ToolRef resolveToolRef(const std::string& ref)
{
    // A file that is there is that file, brackets and all: copies named
    // "drawing(1).sld" are common, and no library reference should hide one.
    if (existsAsWritten(ref)) return { false, ref, {} };
    const SlideRef parsed = parseSlideRef(ref);
    // Users type the library file's own name as often as the bare one; the
    // store's rules, so that the slide extract finds is the one render
    // draws. The paths keep the user's spelling, so a message names the
    // file as typed.
    if (parsed.library) return { true, libraryFileName(parsed.path), parsed.name };
    return { false, slideFileName(ref), {} };
}

StatusCode loadSlideRef(const std::string& ref, LoadedSlide& out, std::size_t limit)
{
    const ToolRef found = resolveToolRef(ref);
    if (found.library) return loadLibrarySlide(found, ref, out, limit);
    const std::string& path = found.file;
    out = LoadedSlide {};
    out.label = ref;
    if (limit != NO_READ_LIMIT) {
        platform::File file = platform::File::open(path, platform::OpenMode::Read);
        if (!file.isOpen()) return setStatus(CannotOpen, path.c_str(), nullptr);
        out.bytes = readSlideAt(file, 0, file.length(), limit);
    } else if (!readWholeFile(path, out.bytes)) {
        return setStatus(CannotOpen, path.c_str(), nullptr);
    }
    out.isLibrary = isLibraryFile(out.bytes);
    out.order = detectByteOrder(out.bytes.data(), out.bytes.size());
    return Ok;
}

Input findInput(const std::string& argument, std::size_t limit)
{
    Input in;
    auto tryFile = [&](const std::string& path) {
        if (!platform::pathExists(path)) return false;
        if (!(limit == NO_READ_LIMIT ? readWholeFile(path, in.bytes) : readFileStart(path, limit, in.bytes)))
            return false;
        in.path = path;
        // A damaged library is still a library to the user who named it so.
        bool named = platform::toLowerAscii(platform::splitPath(path).ext) == ".slb";
        in.kind = isLibraryFile(in.bytes) || named ? InputKind::Library : InputKind::SlideFile;
        return true;
    };
    if (tryFile(argument)) return in;
    if (parseSlideRef(argument).library) {
        in.kind = InputKind::LibrarySlide;
        in.path = argument;
        return in;
    }
    if (const std::string slide = slideFileName(argument); slide != argument && tryFile(slide)) return in;
    if (const std::string library = libraryFileName(argument); library != argument && tryFile(library))
        return in;
    in.path = argument;
    return in;
}

} // namespace qorvan::slide
