// Advisory locking of a library's folder between writers.
#include "store/lock_p.h"

#include "platform/cleanup.h"
#include "store/limits.h"
#include "store/names_p.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
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
    bool isStale(const std::string& text)
    {
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
            bool written = ::write(lf, holder.data(), holder.size()) == static_cast<ssize_t>(holder.size());
            ::close(lf);
            (void)written; // a holder that cannot be recorded is only never judged stale
            return true;
        }
        if (errno != EEXIST) return false;
        std::string text;
        struct stat st { };
        if (readSmall(lockFile_, text, st) && isStale(text)) {
            takeOver(lockFile_, st);
            continue;
        }
        if (Clock::now() > deadline) return false;
        pause();
    }
}

bool LibraryLock::lockFolder(const std::string& nativeDir)
{
    fd_ = ::open(nativeDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0 && errno == EACCES) {
        // A folder one may write in but not read: its lock is a file in it.
        fd_ = ::open(joinNative(nativeDir, LOCK_FILE_NAME).c_str(),
            O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        struct stat st { };
        if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    // A folder where nothing can be locked (neither readable nor writable)
    // is one where nothing can be written either: the operation goes on
    // unlocked and fails, or only reads, on its own.
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
