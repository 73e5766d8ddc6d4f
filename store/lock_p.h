// The writers' lock: an editing operation holds it on the library's folder
// from reading the directory to the final replace, so two writers take turns
// instead of each replacing the library with its own view of it.
#pragma once

#include <string>

namespace qorvan::detail {

// Held for its lifetime. The folder rather than the library file is locked:
// the library is replaced by rename (a lock on the old file would guard
// nothing afterwards) and may not exist yet. The folder is the one the
// library really lives in, after symbolic links, so writers that reach it
// by different names still take turns. Re-entrant within a thread, so a
// composite operation can call the others under its own lock.
//
// Three ways, in order: flock on the folder; where the folder cannot be
// read (mode 0333), flock on a lock file in it, which stays; where the file
// system offers no locks at all, a lock file created exclusively that
// records its holder, so one left by a dead process is taken over.
class LibraryLock {
public:
    explicit LibraryLock(const std::string& nativeDir);
    ~LibraryLock();
    LibraryLock(const LibraryLock&) = delete;
    LibraryLock& operator=(const LibraryLock&) = delete;

    // False when the lock could not be taken in time, or its lock file
    // cannot be opened; the reason is noted as an I/O failure on the lock.
    bool held() const { return held_; }

private:
    bool lockFolder(const std::string& nativeDir);
    bool flockInTime(int fd);
    bool holdLockFile(const std::string& nativeDir);
    static int openLockFileIn(const std::string& nativeDir);
    int fd_ = -1;
    std::string lockFile_;
    int ticket_ = -1;
    bool ownsLockFile_ = false;
    bool reentered_ = false;
    bool unlocked_ = false;
    bool held_ = false;
    unsigned long long dev_ = 0, ino_ = 0;
};

// The name of the lock file inside a library's folder.
inline constexpr const char* LOCK_FILE_NAME = ".qorvan-lock";

// Test-only: behave as on a file system without locks, so the lock file
// path can be exercised on any machine.
void useLockFileAlways(bool on);
// Test-only: how long a writer waits for the lock (LOCK_WAIT_MS otherwise).
void setLockWait(int milliseconds);

} // namespace qorvan::detail
