// Slide names and the rules that turn a caller's path into one file.
#include "store/names_p.h"

#include "store/library_codec.h"

#include "platform/io.h"
#include "platform/path.h"
#include "platform/resolve.h"
#include "store/limits.h"
#include "store/slide_ref.h"

#include <cstring>
#include <sys/stat.h>

namespace qorvan::detail {

using platform::toLowerAscii;
using platform::toUpperAscii;

namespace {

    bool existsNative(const std::string& p)
    {
        struct stat st { };
        return ::lstat(p.c_str(), &st) == 0;
    }

    std::string resolveDirectory(std::string_view dirText)
    {
        if (dirText.empty()) return ".";
        std::string native = platform::resolveExisting(dirText);
        return native.empty() ? "." : native;
    }

} // namespace

std::string temporaryStem(std::string_view name)
{
    for (std::size_t i = 1; i < name.size(); ++i)
        if (name[i] == '.' && name[i - 1] != '.') return std::string(name.substr(0, i));
    return std::string(name);
}

std::string joinNative(const std::string& dir, std::string_view name)
{
    if (dir.empty() || dir == ".") return std::string(name);
    if (dir.back() == '/') return dir + std::string(name);
    return dir + "/" + std::string(name);
}

LibraryFile resolveLibrary(const char* library)
{
    LibraryFile lib;
    lib.written = library ? library : "";
    lib.writerText = libraryFileName(lib.written);
    lib.readerText = toLowerAscii(lib.writerText);
    lib.extractText = toUpperAscii(lib.written) + (lib.written.find('.') == std::string::npos ? ".slb" : "");
    lib.tooLong = lib.readerText.size() > MAX_PATH_CHARS || lib.extractText.size() > MAX_PATH_CHARS;

    const std::size_t cut = finalComponentStart(lib.readerText);
    lib.dirText = lib.written.substr(0, std::min(cut, lib.written.size()));
    lib.stem = temporaryStem(std::string_view(lib.written).substr(lib.dirText.size()));
    if (lib.tooLong) return lib;
    // "", ".", "..", "x\" and ".slb" name no library but a hidden file
    // (".slb", "..slb") or one in the folder's own place ("x/.slb", "/.slb"
    // as root): such a name is refused, and native stays empty.
    std::string base = lib.written.substr(std::min(lib.dirText.size(), lib.written.size()));
    if (base.size() >= 4 && platform::equalsNoCase(std::string_view(base).substr(base.size() - 4), ".slb"))
        base.resize(base.size() - 4);
    if (base.empty() || base == "." || base == "..") {
        platform::noteFailure(platform::IoOp::Open, lib.writerText, platform::NO_FILE_NAME);
        return lib;
    }

    // The directory is found once, from the caller's own spelling, so the
    // file read and the file written always share it, and an entry spelled
    // exactly as written wins over one that differs only in case.
    lib.nativeDir = resolveDirectory(lib.dirText);
    const std::string readerName = lib.readerText.substr(cut);
    const std::string writerName = lib.writerText.substr(cut);
    if (readerName.empty()) {
        lib.native = lib.nativeDir;
        return lib;
    }
    for (const std::string* name : { &writerName, &readerName }) {
        std::string exact = joinNative(lib.nativeDir, *name);
        if (existsNative(exact)) {
            lib.native = exact;
            return lib;
        }
    }
    std::string found = platform::resolveExisting(joinNative(lib.nativeDir, writerName));
    lib.native = existsNative(found) ? found : joinNative(lib.nativeDir, writerName);
    return lib;
}

bool libraryExists(const LibraryFile& lib)
{
    return !lib.native.empty() && existsNative(lib.native);
}

std::string slideFileText(std::string_view slidePath)
{
    return slideFileName(slidePath);
}

std::string slideNameOf(std::string_view slidePath)
{
    std::string name = toUpperAscii(platform::splitPath(slidePath).base);
    if (name.size() > SLIDE_NAME_MAX) name.resize(SLIDE_NAME_MAX);
    return name;
}

bool isUsableName(std::string_view name)
{
    if (name.empty() || name.size() > SLIDE_NAME_MAX || name == "." || name == "..") return false;
    for (char c : name) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == '/' || c == '\\' || c == ':') return false;
    }
    return true;
}

std::string storedName(const SlideName& name)
{
    return slideNameText(name);
}

SlideName makeSlideName(std::string_view name)
{
    SlideName out;
    std::memcpy(out.bytes, name.data(), std::min(name.size(), SLIDE_NAME_MAX));
    return out;
}

std::string outputText(std::string_view directory, std::string_view name)
{
    std::string text(directory);
    if (text.empty() || text.back() != '\\') text += '\\';
    text += name;
    text += ".SLD";
    return text;
}

NativeTarget resolveTarget(std::string_view userPath)
{
    NativeTarget t;
    const std::size_t cut = finalComponentStart(userPath);
    t.dirText = std::string(userPath.substr(0, cut));
    t.name = std::string(userPath.substr(cut));
    t.nativeDir = resolveDirectory(t.dirText);
    std::string exact = joinNative(t.nativeDir, t.name);
    if (existsNative(exact)) {
        t.native = exact;
        t.exists = true;
    } else {
        std::string found = platform::resolveExisting(exact);
        t.exists = existsNative(found);
        t.native = t.exists ? found : exact;
    }
    return t;
}

} // namespace qorvan::detail
