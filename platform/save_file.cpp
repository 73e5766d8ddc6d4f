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

    bool sameFile(const struct stat& st, const FileId& id)
    {
        return static_cast<unsigned long long>(st.st_dev) == id.dev
            && static_cast<unsigned long long>(st.st_ino) == id.ino;
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

namespace {

    // Why a link may not be followed, or 0. The user's own link in a folder
    // only the user controls was made on purpose; any other could have been
    // put there by someone else to aim a write at a file of their choosing.
    int linkRefusal(const std::string& link, const struct stat& st)
    {
        const uid_t me = ::geteuid();
        if (st.st_uid != me) return LINK_NOT_OURS;
        struct stat dir { };
        if (::stat(nativeFolderOf(link).c_str(), &dir) != 0) return errno;
        if ((dir.st_mode & S_ISVTX) != 0 || dir.st_uid != me) return LINK_IN_SHARED_FOLDER;
        return 0;
    }

} // namespace

std::string followLinks(const std::string& nativePath, std::string* refused)
{
    std::string path = nativePath;
    auto refuse = [&](int why) {
        if (refused) *refused = path;
        errno = why;
        return std::string();
    };
    for (int hop = 0; hop <= MAX_LINKS; ++hop) {
        struct stat st { };
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        if (int why = linkRefusal(path, st)) return refuse(why);
        std::vector<char> buf(PATH_MAX + 1);
        ssize_t n = ::readlink(path.c_str(), buf.data(), PATH_MAX);
        if (n <= 0) return path;
        // A link's text never changes, so the same link still there after
        // the read, with the same owner, is the one that was judged.
        struct stat again { };
        if (::lstat(path.c_str(), &again) != 0 || again.st_dev != st.st_dev || again.st_ino != st.st_ino
            || again.st_uid != st.st_uid || !S_ISLNK(again.st_mode))
            return refuse(LINK_CHANGED);
        std::string to(buf.data(), static_cast<std::size_t>(n));
        path = to.front() == '/' ? to : join(nativeFolderOf(path), to);
    }
    if (refused) *refused = nativePath;
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
    std::string refused;
    target_ = followLinks(nativeTarget, &refused);
    if (target_.empty()) {
        noteFailure(IoOp::Write, refused.empty() ? nativeTarget : refused);
        return fail(Failure::Target);
    }
    // Not following a link here: one that appeared since the links were
    // judged is someone else's.
    struct stat st { };
    existed_ = ::lstat(target_.c_str(), &st) == 0;
    if (existed_ && S_ISLNK(st.st_mode)) {
        errno = LINK_CHANGED;
        noteFailure(IoOp::Write, target_);
        return fail(Failure::Target);
    }
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
    if (existed_ && !mayReplaceInput_
        && isInput(FileId {
            static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino) })) {
        errno = OUTPUT_IS_INPUT;
        noteFailure(IoOp::Write, target_);
        return fail(Failure::Target);
    }
    // Born with the old file's permission bits (the umask may narrow them
    // further), so a private file is never readable by others, not even
    // while it is empty.
    // A new one is no more open than its sources: a copy of a private file
    // stays private, whatever the umask.
    unsigned mode = existed_ ? (st.st_mode & 0777) : (0666 & modeLimit_ & inputsModeLimit());
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
            auto changed = [&] {
                errno = ESTALE;
                noteFailure(IoOp::Rename, target_);
                return fail(Failure::Changed);
            };
            struct stat now { };
            if (::lstat(target_.c_str(), &now) != 0 || !sameFile(now, expected_)) return changed();
            // Between that look and a rename another program could still put
            // its file there, and the rename would overwrite it. A swap
            // instead hands back what it replaced: the file read, which goes,
            // or another program's, which is swapped back.
            if (exchangeNative(temp_, target_)) {
                struct stat out { };
                if (::lstat(temp_.c_str(), &out) != 0 || !sameFile(out, expected_)) {
                    if (!exchangeNative(temp_, target_)) {
                        // The other file stays under the temporary name
                        // rather than be removed as ours.
                        untrackPath(ticket_);
                        ticket_ = -1;
                        temp_.clear();
                    }
                    // Ours, back under the temporary name, goes.
                    return changed();
                }
                ::unlink(temp_.c_str());
                committed_ = true;
                untrackPath(ticket_);
                ticket_ = -1;
                return true;
            }
            if (errno != EINVAL && errno != ENOSYS && errno != ENOENT) return fail(Failure::Replace);
            clearFailure();
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
