// The one way Qorvan writes a file: new contents go to a temporary file
// beside the file they replace and take its place in one rename, so a reader
// sees the old file or the new one and a failure at any step leaves the old
// one as it was.
//
// What the new file keeps of the old one: its contents are replaced; its
// permission bits, owner and group are given to the temporary file before a
// byte is written (the owner only where the process may give it, see
// docs/store.md); extended attributes, ACLs among them, are copied where the
// file system and the process's rights allow. A symbolic link stays a link:
// the file it finally names is the one replaced, provided the user made the
// link (see followLinks). A hard link is split, as by any replace through
// rename.
#pragma once

#include "platform/io.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qorvan::platform {

// The file a native path finally names after following symbolic links
// (relative targets count from the link's folder); the path itself when it
// is no link or does not exist. Empty when the links loop or nest too deep
// (errno ELOOP), or when a link is one another user could have planted:
// one the process's user does not own, or one in a sticky folder or in a
// folder another user owns (errno LINK_NOT_OURS, LINK_IN_SHARED_FOLDER or
// LINK_CHANGED, and refused names that link). Writing through such a link
// would let whoever planted it choose which file is replaced.
std::string followLinks(const std::string& nativePath, std::string* refused = nullptr);

class SaveFile {
public:
    enum class Failure {
        None,
        Target, // the target cannot be examined, or its links loop
        Temp, // the temporary file cannot be created or written
        Changed, // the target is no longer the file the caller expected
        Replace, // the final rename failed
    };

    SaveFile() = default;
    // Removes the temporary file unless commit() succeeded.
    ~SaveFile();
    SaveFile(const SaveFile&) = delete;
    SaveFile& operator=(const SaveFile&) = delete;

    // Creates the temporary file for target (a native path). Its name is
    // stem + ".tmp", or stem + "-N.tmp" when that is taken; an empty stem
    // means the real target's own file name. False with failure() set.
    bool open(const std::string& nativeTarget, const std::string& stem = {});

    // For the one writer that replaces a file it read on purpose: the edit
    // of a library. Before open().
    void allowReplacingInput() { mayReplaceInput_ = true; }

    // A new file made from this source is readable and writable by no class
    // that may not read the source (see modeLimitFrom). Before open().
    void limitModeBy(unsigned sourceMode) { modeLimit_ &= modeLimitFrom(sourceMode); }

    File& file() { return file_; }
    bool write(const void* data, std::size_t n) { return file_.write(data, n); }

    // commit() then succeeds only while the target is still this file ...
    void expectTarget(const FileId& id);
    // ... or while there is still no file at the target.
    void expectNoTarget();

    // Without durability, commit neither flushes the contents nor the
    // folder: for files whose loss in a power failure costs nothing (a
    // new file whose data is kept elsewhere), where a flush per file
    // would cost more than the writing.
    void setDurable(bool on) { durable_ = on; }

    // Makes the contents durable, renames the temporary file over the real
    // target and flushes the folder. A folder that cannot be flushed (one
    // without read permission) does not undo a rename that happened: commit
    // succeeds, folderSynced() is false and the warning handler hears of it.
    bool commit();
    // Removes the temporary file now.
    void discard();

    Failure failure() const { return failure_; }
    bool folderSynced() const { return folderSynced_; }
    const std::string& target() const { return target_; } // after links
    const std::string& tempPath() const { return temp_; }
    // The temporary file's own name, for callers that show paths in the
    // user's form.
    const std::string& tempName() const { return tempName_; }
    bool targetExisted() const { return existed_; }

    // Hears of folders that could not be flushed. The programs that have a
    // place to say so (the qorvan tool's standard error) set one; without
    // one the warning is dropped.
    static void setWarningHandler(std::function<void(const std::string&)> handler);
    // Test-only: runs between the last write and the identity check, where
    // another program could replace the target.
    static void setBeforeReplaceHook(std::function<void(const SaveFile&)> hook);

private:
    bool fail(Failure f);
    bool replace();
    File file_;
    std::string target_;
    std::string temp_;
    std::string tempName_;
    int ticket_ = -1;
    bool existed_ = false;
    bool committed_ = false;
    bool folderSynced_ = true;
    bool durable_ = true;
    bool mayReplaceInput_ = false;
    unsigned modeLimit_ = 0666;
    enum class Expect { Anything, Same, Absent } expect_ = Expect::Anything;
    FileId expected_;
    Failure failure_ = Failure::None;
};

// Writes bytes to a user path (platform rules, see resolve.h) through a
// SaveFile; false, with nothing left behind, on failure. durable: flushed
// to disk before it replaces the old file (see SaveFile::setDurable).
bool writeWholeFile(const std::string& userPath, const std::string& bytes, bool durable = true);
bool writeWholeFile(const std::string& userPath, const std::vector<std::uint8_t>& bytes);

} // namespace qorvan::platform
