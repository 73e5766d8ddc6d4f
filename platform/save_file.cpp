// Atomic replacement of a file, keeping what the file's owner set on it.
#include "platform/save_file.h"

#include "platform/cleanup.h"
#include "platform/path.h"
#include "platform/resolve.h"

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qorvan::platform {

namespace {

    constexpr int MAX_LINKS = 40; // as the kernel's own limit
    constexpr int MAX_TEMP_NAMES = 1000;

    std::function<void(const std::string&)>& warningHandler()
    {
        static std::function<void(const std::string&)> h;
        return h;
    }

    std::function<void(const SaveFile&)>& beforeReplace()
    {
        static std::function<void(const SaveFile&)> h;
        return h;
    }

    std::string join(const std::string& dir, const std::string& name)
    {
        if (dir.empty() || dir == ".") return name;
        return dir.back() == '/' ? dir + name : dir + "/" + name;
    }

    // Extended attributes (ACLs are stored as such) of the old file onto the
    // new one. Each is best effort: a file system without them, or one the
    // process may not set (security.*, trusted.* for a normal user), loses
    // nothing that the permission bits have not already kept.
    void copyAttributes(const std::string& from, int toFd)
    {
        ssize_t size = ::llistxattr(from.c_str(), nullptr, 0);
        if (size <= 0) return;
        std::vector<char> names(static_cast<std::size_t>(size));
        size = ::llistxattr(from.c_str(), names.data(), names.size());
        if (size <= 0) return;
        std::vector<char> value;
        for (std::size_t at = 0; at < static_cast<std::size_t>(size);) {
            const char* name = names.data() + at;
            at += std::char_traits<char>::length(name) + 1;
            ssize_t n = ::lgetxattr(from.c_str(), name, nullptr, 0);
            if (n < 0) continue;
            value.resize(static_cast<std::size_t>(n));
            n = ::lgetxattr(from.c_str(), name, value.data(), value.size());
            if (n < 0) continue;
            ::fsetxattr(toFd, name, value.data(), static_cast<std::size_t>(n), 0);
        }
    }

} // namespace

std::string followLinks(const std::string& nativePath)
{
    std::string path = nativePath;
    for (int hop = 0; hop <= MAX_LINKS; ++hop) {
        struct stat st { };
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> buf(PATH_MAX + 1);
        ssize_t n = ::readlink(path.c_str(), buf.data(), PATH_MAX);
        if (n <= 0) return path;
        std::string to(buf.data(), static_cast<std::size_t>(n));
        path = to.front() == '/' ? to : join(nativeFolderOf(path), to);
    }
    errno = ELOOP;
    return {};
}

void SaveFile::setWarningHandler(std::function<void(const std::string&)> handler)
{
    warningHandler() = std::move(handler);
}

void SaveFile::setBeforeReplaceHook(std::function<void(const SaveFile&)> hook)
{
    beforeReplace() = std::move(hook);
}

SaveFile::~SaveFile()
{
    discard();
}

bool SaveFile::fail(Failure f)
{
    int saved = errno;
    failure_ = f;
    // The temporary file is ours, not the user's: a failure on it is told
    // as a failure to write the file it stands for.
    if (f == Failure::Temp && !target_.empty()) {
        IoFailure noted = takeFailure();
        noteFailure(IoOp::Write, target_, noted.file.empty() ? saved : noted.error);
    }
    discard();
    errno = saved;
    return false;
}

void SaveFile::discard()
{
    if (committed_ || temp_.empty()) return;
    file_ = File();
    SignalsHeld held;
    ::unlink(temp_.c_str());
    untrackPath(ticket_);
    ticket_ = -1;
    temp_.clear();
}

bool SaveFile::open(const std::string& nativeTarget, const std::string& stem)
{
    target_ = followLinks(nativeTarget);
    if (target_.empty()) {
        noteFailure(IoOp::Write, nativeTarget);
        return fail(Failure::Target);
    }
    struct stat st { };
    existed_ = ::stat(target_.c_str(), &st) == 0;
    if (!existed_ && errno != ENOENT) {
        noteFailure(IoOp::Write, target_);
        return fail(Failure::Target);
    }
    if (existed_ && !S_ISREG(st.st_mode)) {
        // A folder, device or FIFO is not replaced by a regular file.
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        noteFailure(IoOp::Write, target_);
        return fail(Failure::Target);
    }
    // Born with the old file's permission bits (the umask may narrow them
    // further), so a private file is never readable by others, not even
    // while it is empty.
    unsigned mode = existed_ ? (st.st_mode & 0777) : 0666;
    const std::string dir = nativeFolderOf(target_);
    const std::string base = stem.empty() ? nativeNameOf(target_) : stem;
    for (int attempt = 0; attempt < MAX_TEMP_NAMES; ++attempt) {
        tempName_ = base + (attempt == 0 ? "" : "-" + std::to_string(attempt)) + ".tmp";
        std::string path = join(dir, tempName_);
        if (path.size() >= PATH_MAX) {
            noteFailure(IoOp::Write, path, ENAMETOOLONG);
            return fail(Failure::Temp);
        }
        errno = 0;
        SignalsHeld held;
        file_ = File::openNative(path, OpenMode::CreateNew, mode);
        if (file_.isOpen()) {
            file_.noteFailuresAs(target_);
            temp_ = std::move(path);
            ticket_ = trackPath(temp_.c_str());
            break;
        }
        // Anything but a name in use would fail again under the next name.
        if (errno != EEXIST) return fail(Failure::Temp);
    }
    if (temp_.empty()) {
        noteFailure(IoOp::Write, join(dir, base + ".tmp"), EEXIST);
        return fail(Failure::Temp);
    }
    if (!existed_) return true;

    const int fd = file_.descriptor();
    struct stat mine { };
    ::fstat(fd, &mine);
    bool groupKept = mine.st_gid == st.st_gid;
    if (::geteuid() == 0) {
        groupKept = ::fchown(fd, st.st_uid, st.st_gid) == 0 || groupKept;
    } else if (!groupKept) {
        // Allowed where the process belongs to the group.
        groupKept = ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) == 0;
    }
    // Group rights meant for the old file's group must not pass to ours.
    if (!groupKept) mode &= ~static_cast<unsigned>(070);
    // After the chown, which may clear bits, and exact, without the umask.
    ::fchmod(fd, static_cast<mode_t>(mode));
    copyAttributes(target_, fd);
    return true;
}

void SaveFile::expectTarget(const FileId& id)
{
    expect_ = Expect::Same;
    expected_ = id;
}

void SaveFile::expectNoTarget()
{
    expect_ = Expect::Absent;
}

bool SaveFile::replace()
{
    // The rename and the untracking are one step for a signal handler.
    SignalsHeld held;
    if (expect_ == Expect::Absent) {
        if (!renameNoReplaceNative(temp_, target_)) {
            if (errno != EEXIST) return fail(Failure::Replace);
            // Someone else's new file took the name meanwhile.
            noteFailure(IoOp::Rename, target_, ESTALE);
            return fail(Failure::Changed);
        }
    } else {
        if (expect_ == Expect::Same) {
            struct stat now { };
            if (::stat(target_.c_str(), &now) != 0
                || static_cast<unsigned long long>(now.st_dev) != expected_.dev
                || static_cast<unsigned long long>(now.st_ino) != expected_.ino) {
                errno = ESTALE;
                noteFailure(IoOp::Rename, target_);
                return fail(Failure::Changed);
            }
        }
        // A durable file's data is on disk already, so a plain rename costs
        // nothing more.
        if (!(durable_ ? renameNative(temp_, target_) : replaceUnflushedNative(temp_, target_)))
            return fail(Failure::Replace);
    }
    committed_ = true;
    untrackPath(ticket_);
    ticket_ = -1;
    return true;
}

bool SaveFile::commit()
{
    if (temp_.empty()) return false;
    if (durable_ ? !file_.flush() : !file_.isOpen()) return fail(Failure::Temp);
    if (!file_.close()) return fail(Failure::Temp);
    if (beforeReplace()) beforeReplace()(*this);
    if (!replace()) return false;
    if (durable_ && !syncDirectoryOfNative(target_)) {
        folderSynced_ = false;
        if (warningHandler())
            warningHandler()("the folder of " + target_
                + " could not be flushed to disk; the change is made but may not survive a power failure");
    }
    return true;
}

namespace {

    bool writeWhole(const std::string& userPath, const void* data, std::size_t size, bool durable)
    {
        // An interrupted run leaves the old file or the new one, never half.
        SaveFile out;
        out.setDurable(durable);
        if (!out.open(resolveForCreate(userPath))) return false;
        return out.write(data, size) && out.commit();
    }

} // namespace

bool writeWholeFile(const std::string& userPath, const std::string& bytes, bool durable)
{
    return writeWhole(userPath, bytes.data(), bytes.size(), durable);
}

bool writeWholeFile(const std::string& userPath, const std::vector<std::uint8_t>& bytes)
{
    return writeWhole(userPath, bytes.data(), bytes.size(), true);
}

} // namespace qorvan::platform
