// The I/O seam: every open, read, write, seek, flush, close, remove and
// rename that Qorvan performs on a library or slide goes through File and the
// functions below, so that a test can make any one of those calls fail.
//
// Paths given to these functions are user paths: '\' separates directories
// like '/', a leading drive letter is mapped (see resolve.h), and a path that
// does not exist exactly is found without regard to ASCII letter case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace qorvan::platform {

enum class IoOp : int { Open, Read, Write, Seek, Flush, Close, Remove, Rename };
inline constexpr int IO_OP_COUNT = 8;
const char* ioOpName(IoOp op);

// Device and inode of a file: the same pair means the same file.
struct FileId {
    unsigned long long dev = 0;
    unsigned long long ino = 0;
    bool operator==(const FileId&) const = default;
};

enum class OpenMode {
    Read, // existing regular file, binary; anything else is refused
    Write, // create or truncate, binary
    CreateNew, // create; fails when the path exists (O_EXCL)
};

// A move-only owner of an open file. The destructor closes without reporting;
// call close() to learn whether the close succeeded.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens a user path (resolved as resolve.h says). Check isOpen().
    static File open(std::string_view path, OpenMode mode);
    // Opens a path already in native form, without any resolution. A file
    // created gets the permission bits perm (less the umask).
    // Reading never blocks on a FIFO or device: only a regular file opens,
    // else errno is EINVAL.
    static File openNative(const std::string& nativePath, OpenMode mode, unsigned perm = 0666);

    bool isOpen() const { return fp_ != nullptr; }
    const std::string& nativePath() const { return native_; }
    // The path failures on this file are noted under (the native path
    // unless told otherwise): a temporary file's failures are told as the
    // file it will replace.
    void noteFailuresAs(std::string path) { noted_ = std::move(path); }
    const std::string& notedPath() const { return noted_.empty() ? native_ : noted_; }
    // The open file's descriptor, for the calls File does not wrap.
    int descriptor() const;
    // Which file is open; false when it cannot be examined.
    bool id(FileId& out) const;

    // Reads up to n bytes; returns how many arrived (fewer at the end of the
    // file or on failure).
    std::size_t read(void* buf, std::size_t n);
    bool readExact(void* buf, std::size_t n);
    // Reads one text line of at most cap - 1 bytes into buf, NUL-terminated,
    // keeping the line end, like fgets. False at the end of the file.
    bool readLine(char* buf, std::size_t cap);
    bool write(const void* buf, std::size_t n);
    bool seek(std::int64_t offset);
    std::int64_t tell();
    // The file's length in bytes, or -1. Counted as a seek.
    std::int64_t length();
    // Copies size bytes of from, starting at its offset, to this file at its
    // position, within the kernel (copy_file_range: no copy through user
    // space, and a shared extent where the file system can reflink).
    // Unsupported, with nothing copied, where the kernel or the file
    // systems cannot; the caller then copies through a buffer. Counted as
    // one read and one write. Afterwards both positions are unspecified
    // but this file's, which is after the bytes copied.
    enum class KernelCopy { Done, Unsupported, ReadFailed, WriteFailed };
    KernelCopy copyRangeFrom(File& from, std::int64_t offset, std::int64_t size);
    // Writes buffered data and makes it durable (fsync).
    bool flush();
    bool close();

private:
    File(std::FILE* fp, std::string native)
        : fp_(fp)
        , native_(std::move(native))
    {
    }
    std::FILE* fp_ = nullptr;
    std::string native_;
    std::string noted_;
};

// Removes a file. False on failure.
bool removeFile(std::string_view path);
// Renames from over to in one atomic step (POSIX rename). Both are user
// paths; to need not exist. False on failure.
bool renameFile(std::string_view from, std::string_view to);
// Makes the directory entry of path durable (fsync of its directory).
bool syncDirectoryOf(std::string_view path);
// Length of the file at path, or -1 when it cannot be examined.
std::int64_t fileLength(std::string_view path);

// The same steps on paths already in native form (as File::nativePath
// gives them), without resolution, so that an operation that resolved a file
// once keeps naming that very file. Counted as remove, rename and flush.
bool removeNative(const std::string& nativePath);
bool renameNative(const std::string& from, const std::string& to);
// As renameNative, but fails with EEXIST when to exists.
bool renameNoReplaceNative(const std::string& from, const std::string& to);
// As renameNative, for a file whose contents need not reach the disk
// soon. Some file systems (ext4) write out a file's data at once when it is
// renamed over another, which costs more than writing a small picture; where
// the system can swap two names in one step, the old file is swapped out and
// then removed instead, so a reader still sees the old file or the new one.
// A folder that took to's name meanwhile is refused with EISDIR, as rename
// would refuse it. Counted as one rename.
bool replaceUnflushedNative(const std::string& from, const std::string& to);
bool syncDirectoryOfNative(const std::string& nativePath);
// Swaps the names a and b in one step. False with errno EINVAL or ENOSYS
// where the file system or kernel cannot, ENOENT where either is missing;
// a caller then falls back to a rename. Counted as one rename.
bool exchangeNative(const std::string& a, const std::string& b);

// The last call on a file that failed in this thread: which call, the
// native path it was given and the system's errno. Messages that can say
// more than "can't open" (the tool's) read it; the status code stays what
// the caller records. An open to write or create is noted as Write; a short
// readExact at the end of a file notes error 0.
struct IoFailure {
    IoOp op = IoOp::Open;
    std::string file; // empty: nothing noted
    int error = 0;
};
// Reasons the platform gives a failure of its own, beyond the system's
// errno values; the tool says each in words.
enum PlatformError : int {
    LINK_NOT_OURS = 0x5100, // a symbolic link another user owns: not followed
    LINK_IN_SHARED_FOLDER, // a symbolic link in a sticky or another user's folder
    LINK_CHANGED, // a symbolic link replaced while it was being read
    LOCK_BUSY, // another writer held the lock for the whole wait
    LOCK_NOT_A_FILE, // the lock file is a folder, link, FIFO or device
    OUTPUT_IS_INPUT, // the file to be replaced is one the command reads
    NO_FILE_NAME, // a library name with nothing before its extension
    SAME_NAME_WRITTEN, // a slide not extracted: an earlier one of its name was
};

// The inputs of a command, by identity: while a guard lives, every file
// opened through File to be read (and every one noted with noteInput) is
// remembered, and SaveFile refuses to replace one of them, whatever name
// reaches it. A program that runs one command (the qorvan tool) holds one
// for the command; a long-lived one does not, or every file it ever read
// would stay unwritable.
class InputGuard {
public:
    InputGuard();
    ~InputGuard();
    InputGuard(const InputGuard&) = delete;
    InputGuard& operator=(const InputGuard&) = delete;
};
// For readers that open their files themselves.
void noteInput(const std::string& nativePath);
bool isInput(const FileId& id);
// The permission bits a file made from the inputs read so far may have at
// most: each class (owner, group, others) may read and write it only where
// it may read every input, so a copy of a private file is private. 0666
// without a guard or inputs.
unsigned inputsModeLimit();
// The same bound for one source's mode.
unsigned modeLimitFrom(unsigned sourceMode);
// Notes a failure (error defaults to the current errno, which is kept).
void noteFailure(IoOp op, const std::string& nativePath);
void noteFailure(IoOp op, const std::string& nativePath, int error);
// The failure noted since the last take or clear, and forgets it.
IoFailure takeFailure();
void clearFailure();

// Test-only fault injection, modelled on SQLite's: arm(op, n) makes the n-th
// call of kind op from now on fail (n counts from 1); with persistent set,
// every call from the n-th on fails. Calls are counted per kind so a test can
// first learn how many calls an operation makes, then fail each in turn.
// Not thread-safe: the tests that use it run single-threaded.
namespace faults {
    void arm(IoOp op, unsigned nth, bool persistent = false);
    void disarm();
    bool fired();
    void resetCounts();
    unsigned calls(IoOp op);
} // namespace faults

} // namespace qorvan::platform
