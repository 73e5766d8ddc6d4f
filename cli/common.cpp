#include "cli/common.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

#include "platform/cleanup.h"
#include "platform/path.h"
#include "platform/resolve.h"
#include "platform/save_file.h"
#include "store/edit.h"
#include "store/library_codec.h"
#include "store/status.h"

namespace qorvan::cli {

void guardFiles()
{
    platform::installCleanupOnSignals();
    platform::SaveFile::setWarningHandler(
        [](const std::string& text) { std::fprintf(stderr, "qorvan: warning: %s\n", text.c_str()); });
}

void resetStatus()
{
    setStatus(Ok, nullptr, nullptr);
}

namespace {
    std::string& commandName()
    {
        static std::string name;
        return name;
    }

    const char* verbOf(platform::IoOp op)
    {
        switch (op) {
        case platform::IoOp::Open:
            return "open";
        case platform::IoOp::Read:
        case platform::IoOp::Seek:
            return "read";
        case platform::IoOp::Write:
        case platform::IoOp::Flush:
        case platform::IoOp::Close:
            return "write";
        case platform::IoOp::Remove:
            return "remove";
        case platform::IoOp::Rename:
            return "replace";
        }
        return "use";
    }

    // The system's reason, in its own words where they fit; the few errno
    // values the platform gives a meaning of its own are said plainly.
    std::string reasonOf(const platform::IoFailure& f)
    {
        if (f.error == 0) return "it ends before the length it was measured at";
        if (f.error == ESTALE) return "another program changed it meanwhile";
        // Reading refuses such a file before it can block; writing refuses
        // to put a regular file in its place.
        if (f.error == EINVAL && (f.op == platform::IoOp::Open || f.op == platform::IoOp::Write))
            return "not a regular file (a device, pipe or socket)";
        switch (f.error) {
        case platform::LINK_NOT_OURS:
            return "a symbolic link another user owns; not written through";
        case platform::LINK_IN_SHARED_FOLDER:
            return "a symbolic link in a sticky folder or one another user owns; not written through";
        case platform::LINK_CHANGED:
            return "a symbolic link that changed while it was read; not written through";
        case platform::LOCK_BUSY:
            return "another writer held the lock for the whole wait";
        case platform::LOCK_NOT_A_FILE:
            return "the lock file is not a regular file (a folder, link, pipe or device); remove it";
        case platform::OUTPUT_IS_INPUT:
            return "it is one of the command's inputs; give another output";
        case platform::NO_FILE_NAME:
            return "a library needs a name before .slb";
        case platform::SAME_NAME_WRITTEN:
            return "it holds an earlier slide of the same name; the later one was not written";
        default:
            return std::strerror(f.error);
        }
    }

    // The native form of what the user typed, to tell whether a file the
    // system names is the one typed or another found for it.
    bool sameFile(const std::string& native, const std::string& typed)
    {
        return !typed.empty() && (native == typed || native == platform::toNativePath(typed));
    }
} // namespace

std::string ioFailureText(const platform::IoFailure& failure, const std::string& subject)
{
    std::string what = sameFile(failure.file, subject) ? "it" : failure.file;
    if (what.rfind("./", 0) == 0 && what.size() > 2) what.erase(0, 2);
    return std::string("cannot ") + verbOf(failure.op) + " " + what + ": " + reasonOf(failure);
}

std::string lastIoFailureText(const std::string& subject, const std::string& fallback)
{
    const platform::IoFailure f = platform::takeFailure();
    if (f.file.empty()) return fallback;
    return subject + ": " + ioFailureText(f, subject);
}

std::string writeFailure(const std::string& path)
{
    return lastIoFailureText(path, "cannot write " + path);
}

std::string missingText(const std::string& argument)
{
    // A name that is there but cannot be read says why, not what else was tried.
    if (platform::pathExists(argument)) return readFailure(argument);
    return argument + ": no such slide or library (tried it as written, with .SLD and with .slb)";
}

std::string libraryDamageText(const std::string& file, const std::string& subject)
{
    // Decoded from the file in blocks: a library of gigabytes is never read whole.
    platform::File in = platform::File::open(file, platform::OpenMode::Read);
    if (!in.isOpen()) return {};
    const DecodedLibrary strict = decodeLibrary(in, DecodeMode::Strict);
    const DecodedLibrary d = decodeLibrary(in, DecodeMode::Lenient);
    const auto fileSize = static_cast<std::size_t>(std::max<std::int64_t>(0, d.length));
    // A file that is no library is not a damaged one: the message says so.
    if (strict.ok() || !d.magic) return {};
    const std::string length = std::to_string(fileSize) + " bytes";
    auto entryAt = [&](std::int64_t offset, std::string& name) {
        const auto header = static_cast<std::int64_t>(LIBRARY_HEADER_SIZE);
        const auto k
            = static_cast<std::size_t>(std::max<std::int64_t>(0, offset - header)) / DIRECTORY_ENTRY_SIZE;
        name = k < d.entries.size() ? slideNameText(d.entries[k].name) : std::string();
        return k + 1;
    };
    std::string why;
    for (const LibraryFaultAt& f : d.faults) {
        std::string name;
        const std::size_t k = entryAt(f.offset, name);
        const std::string entry
            = "directory entry " + std::to_string(k) + (name.empty() ? "" : " (" + name + ")");
        const std::int64_t points = k - 1 < d.entries.size()
            ? static_cast<std::int64_t>(static_cast<std::uint32_t>(d.entries[k - 1].offset))
            : 0;
        switch (f.fault) {
        case LibraryFault::Unterminated:
            why = "its directory runs to the end of the file (" + length
                + ") with no terminating entry: the file was cut short";
            break;
        case LibraryFault::PartialEntry:
            why = "it ends at byte " + std::to_string(fileSize) + ", inside " + entry
                + ": the file was cut short";
            break;
        case LibraryFault::OffsetOutside:
            why = entry + " points at byte " + std::to_string(points)
                + (points > static_cast<std::int64_t>(fileSize)
                        ? ", past the end of the file (" + length + "): the file was cut short"
                        : ", inside the directory");
            break;
        case LibraryFault::OffsetOverlaps:
            why = entry + " points at byte " + std::to_string(points)
                + ", before the slide of the entry above it";
            break;
        default:
            why = libraryFaultText(f.fault);
            break;
        }
        break;
    }
    if (why.empty())
        why = std::string(libraryFaultText(strict.fault)) + " (byte " + std::to_string(strict.faultOffset)
            + ")";
    return why + "; qorvan check " + subject + " names every fault, and qorvan salvage " + subject
        + " -o NEW.slb saves the slides that are whole";
}

std::string failureText(int code, const std::string& message, const platform::IoFailure& cause,
    const std::string& subject, const std::string& file)
{
    if (code == InvalidLibrary && !file.empty() && !subject.empty())
        if (const std::string why = libraryDamageText(file, subject); !why.empty()) {
            const bool fileShown = !sameFile(file, subject);
            return subject + (fileShown ? " (" + file + ")" : std::string()) + ": " + message + " " + why;
        }
    // Messages that name the library as written already say what failed.
    if (code == SlideNotFound || code == SlideExists || code == EmptyLibrary || subject.empty())
        return message;
    if (code == CannotOpen && !cause.file.empty()) return subject + ": " + ioFailureText(cause, subject);
    const bool fileShown = !file.empty() && !sameFile(file, subject);
    return subject + (fileShown ? " (" + file + ")" : std::string()) + ": " + message;
}

int failWithStatus(const std::string& subject, const std::string& file)
{
    const std::string text = failureText(lastStatus(), statusMessage(), statusCause(), subject, file);
    if (commandName().empty()) return fail(text);
    return failIn(commandName(), text);
}

void setCommandName(const std::string& name)
{
    commandName() = name;
}

std::string escapedForTerminal(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    auto escape = [&](unsigned char c) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02x", c);
        out += buf;
    };
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F)
                escape(c);
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        // A whole UTF-8 sequence, shortest form, no surrogate, no C1 control.
        std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (c > 0xF4) len = 0;
        std::uint32_t cp = len == 2 ? c & 0x1Fu : len == 3 ? c & 0x0Fu : c & 0x07u;
        bool valid = len != 0 && i + len <= n;
        for (std::size_t k = 1; valid && k < len; ++k) {
            valid = (p[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (p[i + k] & 0x3Fu);
        }
        valid = valid && !(len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)))
            && !(len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) && !(cp >= 0x80 && cp <= 0x9F);
        if (!valid) {
            escape(c);
            ++i;
            continue;
        }
        out.append(text, i, len);
        i += len;
    }
    return out;
}

std::string shown(const std::string& text, std::FILE* stream)
{
    // Asked once per stream: the answer does not change while we run.
    static const bool outTerminal = ::isatty(STDOUT_FILENO) == 1;
    static const bool errTerminal = ::isatty(STDERR_FILENO) == 1;
    const bool terminal = stream == stdout ? outTerminal : stream == stderr ? errTerminal : false;
    return terminal ? escapedForTerminal(text) : text;
}

std::string shownLines(const std::string& text, std::FILE* stream)
{
    std::string out;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        const std::size_t stop = end == std::string::npos ? text.size() : end;
        out += shown(text.substr(start, stop - start), stream);
        if (end != std::string::npos) out += '\n';
        start = stop + 1;
    }
    return out;
}

int fail(const std::string& text, int status)
{
    // A usage error is about what was typed after the command's name, so
    // it names the command as the user would look it up (qorvan CMD --help).
    if (status == EXIT_USAGE && !commandName().empty()) return failIn(commandName(), text, status);
    std::fprintf(stderr, "qorvan: %s\n", shown(text, stderr).c_str());
    return status;
}

int failIn(const std::string& command, const std::string& text, int status)
{
    std::fprintf(stderr, "qorvan %s: %s\n", command.c_str(), shown(text, stderr).c_str());
    return status;
}

Progress::Progress(std::size_t total)
    : total_(total)
    , shown_(total > 1 && ::isatty(STDERR_FILENO) == 1)
{
}

Progress::~Progress()
{
    clear();
}

namespace {

    // The columns of the terminal standard error shows on; 80 where it does
    // not say.
    std::size_t terminalColumns()
    {
        winsize size {};
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
        return 80;
    }

    // As much of text as fits in columns, cut between characters (text is
    // escaped, so what is not ASCII is whole UTF-8 and one column a
    // character).
    std::string fittedTo(const std::string& text, std::size_t columns)
    {
        std::size_t i = 0;
        for (std::size_t used = 0; i < text.size() && used < columns; ++used) {
            const auto c = static_cast<unsigned char>(text[i]);
            i += c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        }
        return text.substr(0, i);
    }

} // namespace

void Progress::step(std::size_t done, const std::string& label)
{
    if (!shown_) return;
    // One column short of the edge: a line that fills the last column
    // makes some terminals wrap, and the erase reaches only the last row.
    const std::size_t columns = terminalColumns() - 1;
    const std::string counts = std::to_string(done) + "/" + std::to_string(total_);
    constexpr std::size_t BAR = 30, LABEL = 32;
    // The bar gives way first to the counts and some of the label, then goes.
    std::size_t bar = BAR;
    if (columns < BAR + 2 + 1 + counts.size() + 1 + 12) bar = 0;
    std::string line;
    if (bar > 0) {
        const std::size_t filled = total_ ? done * bar / total_ : bar;
        line = "[" + std::string(filled, '#') + std::string(bar - filled, ' ') + "] ";
    }
    line += counts + " ";
    // Drawn only on a terminal, so always escaped.
    if (line.size() < columns)
        line += fittedTo(escapedForTerminal(label), std::min(LABEL, columns - line.size()));
    std::fprintf(stderr, "\r%s\033[K", fittedTo(line, columns).c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void Progress::clear()
{
    if (!drawn_) return;
    // Leave the line empty so later messages start cleanly; erasing to the
    // end of the line, not writing spaces, keeps a narrow terminal from
    // wrapping.
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
}

bool parseSize(const std::string& text, int& width, int& height)
{
    std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos || x == 0 || x + 1 >= text.size()) return false;
    auto number = [](const std::string& s, int& out) {
        if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos || s.size() > 5) return false;
        out = std::atoi(s.c_str());
        return out > 0;
    };
    return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

std::string jsonString(const std::string& bytes)
{
    std::string out = "\"";
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string nameText(const char* bytes, std::size_t capacity)
{
    return std::string(bytes, strnlen(bytes, capacity));
}

std::string joinPath(const std::string& directory, const std::string& name)
{
    if (directory.empty()) return name;
    char last = directory.back();
    if (last == '/' || last == '\\') return directory + name;
    return directory + "/" + name;
}

bool makeDirectory(const std::string& path)
{
    std::error_code ec;
    std::string native = platform::resolveForCreate(path);
    if (std::filesystem::is_directory(native, ec)) return true;
    std::filesystem::create_directories(native, ec);
    return !ec && std::filesystem::is_directory(native, ec);
}

int refuseSlideAsLibrary(const char* command, const std::string& path)
{
    // Only where the library the store would read is not there: a slide
    // file of that name beside a real library is none of our business.
    // The slide may be named as written or, as slides are, without .sld.
    if (platform::pathExists(libraryFileFor(path.c_str()))) return 0;
    const std::string slideFile = platform::pathExists(path) ? path : slideFileFor(path.c_str());
    std::vector<std::uint8_t> bytes;
    if (!readFileStart(slideFile, SLIDE_CHECK_BYTES, bytes) || !startsLikeSlide(bytes)) return 0;
    std::fprintf(stderr,
        "qorvan %s: %s is a slide, not a slide library (qorvan info %s describes it; qorvan append LIB %s "
        "puts it into library LIB)\n",
        command, shown(path, stderr).c_str(), shown(path, stderr).c_str(), shown(path, stderr).c_str());
    return EXIT_FAILED;
}

int refuseLibraryAsSlide(const char* command, const slide::LoadedSlide& s)
{
    if (!s.isLibrary) return 0;
    std::fprintf(stderr,
        "qorvan %s: %s is a slide library, not a slide: name one of its slides as %s(NAME) (qorvan list %s "
        "shows the names), or add --all -d DIR for every slide\n",
        command, shown(s.label, stderr).c_str(), shown(s.label, stderr).c_str(),
        shown(s.label, stderr).c_str());
    return EXIT_FAILED;
}

std::string safeFileName(const std::string& name)
{
    std::string out;
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        bool bad = c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
        out += bad ? '_' : static_cast<char>(c);
    }
    if (out.find_first_not_of('.') == std::string::npos) out.assign(out.size() ? out.size() : 1, '_');
    return out;
}

std::vector<std::string> distinctFileNames(const std::vector<std::string>& names)
{
    std::vector<std::string> out;
    out.reserve(names.size());
    std::set<std::string> wanted; // every name as it would be, so none is taken from a later owner
    for (const std::string& n : names)
        wanted.insert(platform::toUpperAscii(safeFileName(n)));
    std::set<std::string> given;
    for (const std::string& n : names) {
        const std::string base = safeFileName(n);
        std::string name = base;
        for (unsigned k = 1; given.count(platform::toUpperAscii(name)) != 0; ++k) {
            name = base + "~" + std::to_string(k);
            if (wanted.count(platform::toUpperAscii(name)) != 0) name = base; // taken by a stored name: next
        }
        given.insert(platform::toUpperAscii(name));
        out.push_back(std::move(name));
    }
    return out;
}

} // namespace qorvan::cli
