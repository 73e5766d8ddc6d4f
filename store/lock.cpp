// Advisory locking of a library's folder between writers.
#include "store/lock_p.h"

#include "platform/cleanup.h"
#include "platform/io.h"
#include "store/limits.h"
#include "store/names_p.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace qorvan::detail {

namespace {

    struct Holder {
        std::thread::id owner;
        int depth = 0;
    };

    // Folders this process holds, by device and inode, so a nested operation on
    // the same thread does not wait for itself (flock would: every open of the
    // folder is a separate lock).
    std::mutex heldMutex;
    std::map<std::pair<unsigned long long, unsigned long long>, Holder>& heldFolders()
    {
        static std::map<std::pair<unsigned long long, unsigned long long>, Holder> m;
        return m;
    }

    bool noLocksHere(int err)
    {
        return err == ENOLCK || err == EOPNOTSUPP || err == ENOSYS || err == EINVAL;
    }

    constexpr long EMPTY_LOCK_GRACE_S = 2;

    // Owner, group or others may add files (write and search) but not list.
    bool someWriterCannotRead(mode_t mode)
    {
        for (int shift : { 6, 3, 0 }) {
            const unsigned bits = (mode >> shift) & 7u;
            if ((bits & 3u) == 3u && (bits & 4u) == 0) return true;
        }
        return false;
    }

    bool lockFileAlways = false;
    int lockWaitMs = LOCK_WAIT_MS;

    using Clock = std::chrono::steady_clock;

    void pause()
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    std::string hostName()
    {
        char buf[256] = {};
        if (::gethostname(buf, sizeof buf - 1) != 0) return "?";
        return buf;
    }

    // What a lock file says of its holder: "pid host".
    std::string holderText()
    {
        return std::to_string(::getpid()) + " " + hostName() + "\n";
    }

    // A lock file whose holder is a process of this machine that no longer
    // exists. One from another machine, or one that cannot be read, is never
    // stale: it may be held.
    bool isStale(const std::string& text, const struct stat& st)
    {
        // A holder writes its text at once after creating the file, so an
        // empty one older than a moment was left by a holder killed between
        // the two steps.
        if (text.empty()) return ::time(nullptr) - st.st_mtime > EMPTY_LOCK_GRACE_S;
        char host[256] = {};
        long pid = 0;
        if (std::sscanf(text.c_str(), "%ld %255s", &pid, host) != 2 || pid <= 0) return false;
        if (hostName() != host) return false;
        return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
    }

    bool readSmall(const std::string& path, std::string& text, struct stat& st)
    {
        int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return false;
        char buf[300];
        ssize_t n = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ::read(fd, buf, sizeof buf - 1) : -1;
        ::close(fd);
        if (n < 0) return false;
        text.assign(buf, static_cast<std::size_t>(n));
        return true;
    }

    // Takes a stale lock file out of the way. It is first renamed to a name of
    // our own, which only one taker can do; should the file renamed turn out
    // to be another one (a live holder replaced the stale file in between), it
    // is put back.
    void takeOver(const std::string& lockFile, const struct stat& judged)
    {
        std::string aside = lockFile + "." + std::to_string(::getpid()) + ".stale";
        if (::rename(lockFile.c_str(), aside.c_str()) != 0) return;
        struct stat now { };
        if (::lstat(aside.c_str(), &now) == 0 && now.st_dev == judged.st_dev && now.st_ino == judged.st_ino) {
            ::unlink(aside.c_str());
            return;
        }
        if (::link(aside.c_str(), lockFile.c_str()) == 0 || errno == EEXIST) ::unlink(aside.c_str());
    }

} // namespace

void useLockFileAlways(bool on)
{
    lockFileAlways = on;
}
void setLockWait(int milliseconds)
{
    lockWaitMs = milliseconds > 0 ? milliseconds : LOCK_WAIT_MS;
}

bool LibraryLock::flockInTime(int fd)
{
    // Polled rather than blocking, so that a writer stuck while holding the
    // lock makes the others fail in time instead of hanging with it.
    auto deadline = Clock::now() + std::chrono::milliseconds(lockWaitMs);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK || Clock::now() > deadline) return false;
        pause();
    }
}

bool LibraryLock::holdLockFile(const std::string& nativeDir)
{
    lockFile_ = joinNative(nativeDir, LOCK_FILE_NAME);
    const std::string holder = holderText();
    auto deadline = Clock::now() + std::chrono::milliseconds(lockWaitMs);
    for (;;) {
        platform::SignalsHeld held; // created and tracked in one step
        int lf = ::open(lockFile_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (lf >= 0) {
            ownsLockFile_ = true;
            ticket_ = platform::trackPath(lockFile_.c_str());
            // Readable whatever the umask: the other writers judge by its
            // text whether its holder still lives.
            ::fchmod(lf, 0644);
            bool written = ::write(lf, holder.data(), holder.size()) == static_cast<ssize_t>(holder.size());
            ::close(lf);
            (void)written; // a holder that cannot be recorded is only never judged stale
            return true;
        }
        if (errno != EEXIST) {
            platform::noteFailure(platform::IoOp::Open, lockFile_);
            return false;
        }
        struct stat st { };
        if (::lstat(lockFile_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            // A folder or link there would never go away by itself.
            platform::noteFailure(platform::IoOp::Open, lockFile_, platform::LOCK_NOT_A_FILE);
            return false;
        }
        std::string text;
        if (readSmall(lockFile_, text, st) && isStale(text, st)) {
            takeOver(lockFile_, st);
            continue;
        }
        if (Clock::now() > deadline) {
            platform::noteFailure(platform::IoOp::Open, lockFile_, platform::LOCK_BUSY);
            return false;
        }
        pause();
    }
}

int LibraryLock::openLockFileIn(const std::string& nativeDir)
{
    const std::string path = joinNative(nativeDir, LOCK_FILE_NAME);
    // Everyone who may write the folder must be able to open the lock, or
    // a writer of a narrower umask would lock the others out of it.
    int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd >= 0) {
        ::fchmod(fd, 0666);
        return fd;
    }
    if (errno == EEXIST) fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP) errno = platform::LOCK_NOT_A_FILE;
        platform::noteFailure(platform::IoOp::Open, path);
        return -1;
    }
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        platform::noteFailure(platform::IoOp::Open, path, platform::LOCK_NOT_A_FILE);
        return -1;
    }
    return fd;
}

bool LibraryLock::lockFolder(const std::string& nativeDir)
{
    // Every writer must lock the same thing. Where some who may write the
    // folder cannot read it, all of them lock the file, root included,
    // though it could open the folder.
    struct stat folder { };
    const bool byFile = ::stat(nativeDir.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode)
        && someWriterCannotRead(folder.st_mode);
    fd_ = byFile ? -1 : ::open(nativeDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (byFile || (fd_ < 0 && errno == EACCES)) {
        // A folder where nothing can be written (neither readable nor
        // writable) needs no lock: no writer can change it, and reading
        // goes on.
        if (::faccessat(AT_FDCWD, nativeDir.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return unlocked_ = true;
        // A folder one may write in but not read: its lock is a file in it.
        // One that cannot be opened is never passed over: the writer it
        // guards against may be holding it.
        fd_ = openLockFileIn(nativeDir);
        if (fd_ < 0) return false;
    }
    // A folder that is not there (or not a folder) is written by no one;
    // the operation fails on its own.
    struct stat st { };
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return unlocked_ = true;
    dev_ = static_cast<unsigned long long>(st.st_dev);
    ino_ = static_cast<unsigned long long>(st.st_ino);
    {
        std::lock_guard<std::mutex> g(heldMutex);
        auto it = heldFolders().find({ dev_, ino_ });
        if (it != heldFolders().end() && it->second.owner == std::this_thread::get_id()) {
            ++it->second.depth;
            reentered_ = true;
            return true;
        }
    }
    if (!lockFileAlways && flockInTime(fd_)) return true;
    if (lockFileAlways || noLocksHere(errno)) return holdLockFile(nativeDir);
    platform::noteFailure(
        platform::IoOp::Open, nativeDir, errno == EWOULDBLOCK ? platform::LOCK_BUSY : errno);
    return false;
}

LibraryLock::LibraryLock(const std::string& nativeDir)
{
    held_ = lockFolder(nativeDir);
    if (!held_ || reentered_ || unlocked_) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        return;
    }
    std::lock_guard<std::mutex> g(heldMutex);
    heldFolders()[{ dev_, ino_ }] = Holder { std::this_thread::get_id(), 1 };
}

LibraryLock::~LibraryLock()
{
    if (fd_ < 0 && !reentered_) return; // never held
    {
        std::lock_guard<std::mutex> g(heldMutex);
        auto it = heldFolders().find({ dev_, ino_ });
        if (it != heldFolders().end() && --it->second.depth == 0) heldFolders().erase(it);
    }
    if (reentered_) return;
    if (ownsLockFile_) {
        platform::SignalsHeld held;
        ::unlink(lockFile_.c_str());
        platform::untrackPath(ticket_);
    }
    ::close(fd_); // releases the flock
}

} // namespace qorvan::detail
