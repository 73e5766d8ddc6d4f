// Advisory locking of a library's folder between writers.
#include "store/lock_p.h"

#include "store/limits.h"
#include "store/names_p.h"

#include <cerrno>
#include <chrono>
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

bool noLocksHere(int err) { return err == ENOLCK || err == EOPNOTSUPP || err == ENOSYS || err == EINVAL; }

bool lockFileAlways = false;

} // namespace

void useLockFileAlways(bool on) { lockFileAlways = on; }

LibraryLock::LibraryLock(const std::string& nativeDir)
{
    fd_ = ::open(nativeDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    dev_ = static_cast<unsigned long long>(st.st_dev);
    ino_ = static_cast<unsigned long long>(st.st_ino);
    {
        std::lock_guard<std::mutex> g(heldMutex);
        auto it = heldFolders().find({dev_, ino_});
        if (it != heldFolders().end() && it->second.owner == std::this_thread::get_id()) {
            ++it->second.depth;
            reentered_ = true;
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
    int rc = -1;
    errno = ENOLCK;
    if (!lockFileAlways) {
        do {
            rc = ::flock(fd_, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
    }
    if (rc != 0 && noLocksHere(errno)) {
        lockFile_ = joinNative(nativeDir, LOCK_FILE_NAME);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LOCK_FILE_WAIT_MS);
        for (;;) {
            int lf = ::open(lockFile_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (lf >= 0) {
                ::close(lf);
                ownsLockFile_ = true;
                break;
            }
            if (errno != EEXIST || std::chrono::steady_clock::now() > deadline) {
                held_ = false;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (!held_) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    std::lock_guard<std::mutex> g(heldMutex);
    heldFolders()[{dev_, ino_}] = Holder{std::this_thread::get_id(), 1};
}

LibraryLock::~LibraryLock()
{
    if (fd_ < 0 && !reentered_) return;
    {
        std::lock_guard<std::mutex> g(heldMutex);
        auto it = heldFolders().find({dev_, ino_});
        if (it != heldFolders().end() && --it->second.depth == 0) heldFolders().erase(it);
    }
    if (reentered_) return;
    if (ownsLockFile_) ::unlink(lockFile_.c_str());
    ::close(fd_); // releases the flock
}

} // namespace qorvan::detail
