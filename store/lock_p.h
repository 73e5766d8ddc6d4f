// The writers' lock: an editing operation holds it on the library's folder
// from reading the directory to the final replace, so two writers take turns
// instead of each replacing the library with its own view of it.
#pragma once

#include <string>

namespace qorvan::detail {

// Held for its lifetime. The folder rather than the library file is locked:
// the library is replaced by rename (a lock on the old file would guard
// nothing afterwards) and may not exist yet. Re-entrant within a thread, so
// a composite operation can call the others under its own lock. Where the
// file system offers no locks, a lock file in the folder is used instead.
class LibraryLock {
public:
    explicit LibraryLock(const std::string& nativeDir);
    ~LibraryLock();
    LibraryLock(const LibraryLock&) = delete;
    LibraryLock& operator=(const LibraryLock&) = delete;

    // False only when a lock file could not be taken in time; an unreadable
    // folder is not locked and the operation fails on its own later.
    bool held() const { return held_; }
    const std::string& lockFile() const { return lockFile_; }

private:
    int fd_ = -1;
    std::string lockFile_;
    bool ownsLockFile_ = false;
    bool reentered_ = false;
    bool held_ = true;
    unsigned long long dev_ = 0, ino_ = 0;
};

// The name of the fallback lock file inside a library's folder.
inline constexpr const char* LOCK_FILE_NAME = ".qorvan-lock";

// Test-only: behave as on a file system without locks, so the lock file
// path can be exercised on any machine.
void useLockFileAlways(bool on);

} // namespace qorvan::detail
