// File access through the fault-injection seam.
#include "platform/io.h"

#include "platform/path.h"
#include "platform/resolve.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace qorvan::platform {

namespace {

    struct FaultState {
        unsigned counts[IO_OP_COUNT] = {};
        unsigned armedAt[IO_OP_COUNT] = {}; // 0: not armed; else the call number that fails
        bool persistent[IO_OP_COUNT] = {};
        bool fired = false;
    };

    FaultState& state()
    {
        static FaultState s;
        return s;
    }

    // The one place where every I/O call is counted and may be made to fail.
    bool injectFault(IoOp op)
    {
        FaultState& s = state();
        auto i = static_cast<int>(op);
        unsigned n = ++s.counts[i];
        unsigned at = s.armedAt[i];
        if (at == 0) return false;
        if (n == at || (s.persistent[i] && n > at)) {
            s.fired = true;
            errno = EIO;
            return true;
        }
        return false;
    }

    thread_local IoFailure lastFailure;

    // Read from the thread pool's workers as well as the main thread.
    std::atomic<int> guards { 0 };
    std::mutex inputsMutex;
    std::set<std::pair<unsigned long long, unsigned long long>>& inputs()
    {
        static std::set<std::pair<unsigned long long, unsigned long long>> s;
        return s;
    }

    unsigned& modeLimit()
    {
        static unsigned limit = 0666;
        return limit;
    }

    void rememberInput(const struct stat& st)
    {
        if (guards.load() == 0) return;
        std::lock_guard<std::mutex> g(inputsMutex);
        inputs().insert(
            { static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino) });
        modeLimit() &= modeLimitFrom(st.st_mode);
    }

    // Notes op's failure on path and returns false, keeping errno.
    bool failed(IoOp op, const std::string& path)
    {
        noteFailure(op, path);
        return false;
    }

    // An open to write is noted as a write: "cannot write" is what the user
    // of a file that cannot be created needs to hear.
    File failedOpen(const std::string& path, OpenMode mode)
    {
        noteFailure(mode == OpenMode::Read ? IoOp::Open : IoOp::Write, path);
        return File();
    }

} // namespace

InputGuard::InputGuard()
{
    ++guards;
}

InputGuard::~InputGuard()
{
    if (--guards == 0) {
        std::lock_guard<std::mutex> g(inputsMutex);
        inputs().clear();
        modeLimit() = 0666;
    }
}

void noteInput(const std::string& nativePath)
{
    struct stat st { };
    if (guards.load() != 0 && ::stat(nativePath.c_str(), &st) == 0) rememberInput(st);
}

unsigned modeLimitFrom(unsigned sourceMode)
{
    unsigned limit = 0;
    for (unsigned shift : { 6u, 3u, 0u })
        if (sourceMode & (4u << shift)) limit |= 6u << shift;
    return limit;
}

unsigned inputsModeLimit()
{
    if (guards.load() == 0) return 0666;
    std::lock_guard<std::mutex> g(inputsMutex);
    return modeLimit();
}

bool isInput(const FileId& id)
{
    if (guards.load() == 0) return false;
    std::lock_guard<std::mutex> g(inputsMutex);
    return inputs().count({ id.dev, id.ino }) != 0;
}

void noteFailure(IoOp op, const std::string& nativePath)
{
    noteFailure(op, nativePath, errno);
}

void noteFailure(IoOp op, const std::string& nativePath, int error)
{
    const int saved = errno;
    lastFailure = IoFailure { op, nativePath.empty() ? std::string(".") : nativePath, error };
    errno = saved;
}

IoFailure takeFailure()
{
    IoFailure f = std::move(lastFailure);
    lastFailure = IoFailure {};
    return f;
}

void clearFailure()
{
    lastFailure = IoFailure {};
}

const char* ioOpName(IoOp op)
{
    static const char* const names[IO_OP_COUNT]
        = { "open", "read", "write", "seek", "flush", "close", "remove", "rename" };
    return names[static_cast<int>(op)];
}

namespace faults {
    void arm(IoOp op, unsigned nth, bool persistent)
    {
        auto i = static_cast<int>(op);
        state().armedAt[i] = state().counts[i] + nth;
        state().persistent[i] = persistent;
        state().fired = false;
    }
    void disarm()
    {
        for (int i = 0; i < IO_OP_COUNT; ++i) {
            state().armedAt[i] = 0;
            state().persistent[i] = false;
        }
    }
    bool fired()
    {
        return state().fired;
    }
    void resetCounts()
    {
        disarm();
        for (unsigned& c : state().counts)
            c = 0;
        state().fired = false;
    }
    unsigned calls(IoOp op)
    {
        return state().counts[static_cast<int>(op)];
    }
} // namespace faults

File::~File()
{
    if (fp_) std::fclose(fp_);
}

File::File(File&& other) noexcept
    : fp_(other.fp_)
    , native_(std::move(other.native_))
    , noted_(std::move(other.noted_))
{
    other.fp_ = nullptr;
}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        if (fp_) std::fclose(fp_);
        fp_ = other.fp_;
        native_ = std::move(other.native_);
        noted_ = std::move(other.noted_);
        other.fp_ = nullptr;
    }
    return *this;
}

File File::open(std::string_view path, OpenMode mode)
{
    return openNative(mode == OpenMode::Read ? resolveExisting(path) : resolveForCreate(path), mode);
}

File File::openNative(const std::string& nativePath, OpenMode mode, unsigned perm)
{
    if (injectFault(IoOp::Open)) return failedOpen(nativePath, mode);
    if (nativePath.empty()) {
        errno = ENOENT;
        return failedOpen(nativePath, mode);
    }
    int flags = O_CLOEXEC;
    const char* fmode = "rb";
    switch (mode) {
    case OpenMode::Read:
        // Not blocking: a FIFO would otherwise wait for a writer forever,
        // with the writers' lock held.
        flags |= O_RDONLY | O_NONBLOCK;
        break;
    case OpenMode::Write:
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
        fmode = "wb";
        break;
    case OpenMode::CreateNew:
        flags |= O_WRONLY | O_CREAT | O_EXCL;
        fmode = "wb";
        break;
    }
    int fd = ::open(nativePath.c_str(), flags, static_cast<mode_t>(perm & 07777));
    if (fd < 0) return failedOpen(nativePath, mode);
    struct stat st { };
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return failedOpen(nativePath, mode);
    }
    if (mode == OpenMode::Read) {
        // A device or FIFO is no slide and no library: /dev/zero would
        // read as an endless file, a FIFO as whatever a stranger writes.
        if (!S_ISREG(st.st_mode)) {
            ::close(fd);
            errno = EINVAL;
            return failedOpen(nativePath, mode);
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        rememberInput(st);
    }
    std::FILE* fp = ::fdopen(fd, fmode);
    if (!fp) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return failedOpen(nativePath, mode);
    }
    return File(fp, nativePath);
}

int File::descriptor() const
{
    return fp_ ? ::fileno(fp_) : -1;
}

bool File::id(FileId& out) const
{
    struct stat st { };
    if (!fp_ || ::fstat(::fileno(fp_), &st) != 0) return false;
    out = FileId { static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino) };
    return true;
}

std::size_t File::read(void* buf, std::size_t n)
{
    if (!fp_) return 0;
    if (injectFault(IoOp::Read)) {
        noteFailure(IoOp::Read, notedPath());
        return 0;
    }
    const std::size_t got = std::fread(buf, 1, n, fp_);
    if (got < n && std::ferror(fp_)) noteFailure(IoOp::Read, notedPath());
    return got;
}

bool File::readExact(void* buf, std::size_t n)
{
    const std::size_t got = read(buf, n);
    if (got == n) return true;
    // The file ended before what its directory or its length promised.
    if (fp_ && !std::ferror(fp_)) noteFailure(IoOp::Read, notedPath(), 0);
    return false;
}

bool File::readLine(char* buf, std::size_t cap)
{
    if (cap == 0) return false;
    buf[0] = '\0';
    if (!fp_ || injectFault(IoOp::Read)) return false;
    return std::fgets(buf, static_cast<int>(cap > 0x7fffffff ? 0x7fffffff : cap), fp_) != nullptr;
}

bool File::write(const void* buf, std::size_t n)
{
    if (!fp_) return false;
    if (injectFault(IoOp::Write) || std::fwrite(buf, 1, n, fp_) != n) return failed(IoOp::Write, notedPath());
    return true;
}

File::KernelCopy File::copyRangeFrom(File& from, std::int64_t offset, std::int64_t size)
{
    if (!fp_ || !from.fp_ || offset < 0 || size < 0) return KernelCopy::Unsupported;
    if (injectFault(IoOp::Read)) {
        noteFailure(IoOp::Read, from.notedPath());
        return KernelCopy::ReadFailed;
    }
    if (injectFault(IoOp::Write) || std::fflush(fp_) != 0) {
        failed(IoOp::Write, notedPath());
        return KernelCopy::WriteFailed;
    }
    const off_t start = ::ftello(fp_);
    if (start < 0) return KernelCopy::Unsupported;
    off_t in = static_cast<off_t>(offset);
    off_t out = start;
    std::int64_t left = size;
    constexpr std::int64_t MOST_AT_ONCE = 1 << 30;
    while (left > 0) {
        const ssize_t n = ::copy_file_range(::fileno(from.fp_), &in, ::fileno(fp_), &out,
            static_cast<std::size_t>(left < MOST_AT_ONCE ? left : MOST_AT_ONCE), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && out == start
            && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP
                || errno == EBADF))
            return KernelCopy::Unsupported;
        if (n < 0) {
            if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) {
                failed(IoOp::Write, notedPath());
                return KernelCopy::WriteFailed;
            }
            noteFailure(IoOp::Read, from.notedPath());
            return KernelCopy::ReadFailed;
        }
        if (n == 0) {
            // The file ended before what its directory promised.
            noteFailure(IoOp::Read, from.notedPath(), 0);
            return KernelCopy::ReadFailed;
        }
        left -= n;
    }
    // The stream's own position follows what the kernel wrote.
    if (::fseeko(fp_, out, SEEK_SET) != 0) {
        failed(IoOp::Write, notedPath());
        return KernelCopy::WriteFailed;
    }
    return KernelCopy::Done;
}

bool File::seek(std::int64_t offset)
{
    if (!fp_) return false;
    if (offset < 0) errno = EINVAL;
    if (offset < 0 || injectFault(IoOp::Seek) || ::fseeko(fp_, static_cast<off_t>(offset), SEEK_SET) != 0)
        return failed(IoOp::Seek, notedPath());
    return true;
}

std::int64_t File::tell()
{
    if (!fp_) return -1;
    return static_cast<std::int64_t>(::ftello(fp_));
}

std::int64_t File::length()
{
    if (!fp_) return -1;
    struct stat st { };
    if (!injectFault(IoOp::Seek)) {
        std::fflush(fp_); // a writer's buffered bytes count too
        if (::fstat(::fileno(fp_), &st) == 0) return static_cast<std::int64_t>(st.st_size);
    }
    noteFailure(IoOp::Seek, notedPath());
    return -1;
}

bool File::flush()
{
    if (!fp_) return false;
    if (injectFault(IoOp::Flush) || std::fflush(fp_) != 0 || ::fsync(::fileno(fp_)) != 0)
        return failed(IoOp::Flush, notedPath());
    return true;
}

bool File::close()
{
    if (!fp_) return false;
    bool injected = injectFault(IoOp::Close);
    bool ok = std::fclose(fp_) == 0;
    fp_ = nullptr;
    if (!ok || injected) return failed(IoOp::Close, notedPath());
    return true;
}

bool removeFile(std::string_view path)
{
    if (injectFault(IoOp::Remove)) return false;
    std::string native = resolveExisting(path);
    return !native.empty() && ::unlink(native.c_str()) == 0;
}

bool renameFile(std::string_view from, std::string_view to)
{
    if (injectFault(IoOp::Rename)) return false;
    std::string src = resolveExisting(from);
    std::string dst = resolveForCreate(to);
    return !src.empty() && !dst.empty() && ::rename(src.c_str(), dst.c_str()) == 0;
}

bool syncDirectoryOf(std::string_view path)
{
    return syncDirectoryOfNative(resolveExisting(path));
}

bool removeNative(const std::string& nativePath)
{
    if (injectFault(IoOp::Remove) || nativePath.empty() || ::unlink(nativePath.c_str()) != 0)
        return failed(IoOp::Remove, nativePath);
    return true;
}

bool renameNative(const std::string& from, const std::string& to)
{
    if (injectFault(IoOp::Rename) || from.empty() || to.empty() || ::rename(from.c_str(), to.c_str()) != 0)
        return failed(IoOp::Rename, to);
    return true;
}

bool renameNoReplaceNative(const std::string& from, const std::string& to)
{
    if (injectFault(IoOp::Rename) || from.empty() || to.empty()) return failed(IoOp::Rename, to);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return failed(IoOp::Rename, to);
    // A file system without the flag: a hard link refuses an existing name
    // just as well, and leaves the temporary name to remove.
    if (::link(from.c_str(), to.c_str()) != 0) return failed(IoOp::Rename, to);
    ::unlink(from.c_str());
    return true;
}

bool exchangeNative(const std::string& a, const std::string& b)
{
    if (injectFault(IoOp::Rename) || a.empty() || b.empty()) return failed(IoOp::Rename, b);
    if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0) return true;
    if (errno == EOPNOTSUPP) errno = EINVAL;
    return failed(IoOp::Rename, b);
}

bool replaceUnflushedNative(const std::string& from, const std::string& to)
{
    if (injectFault(IoOp::Rename) || from.empty() || to.empty()) return failed(IoOp::Rename, to);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) != 0) {
        // No old file to swap out, or a file system or kernel that cannot
        // swap: a plain rename is as atomic.
        if (errno != ENOENT && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return failed(IoOp::Rename, to);
        if (::rename(from.c_str(), to.c_str()) != 0) return failed(IoOp::Rename, to);
        return true;
    }
    // from now names what was at to. A swap, unlike a rename, accepts a
    // folder there; it is put back untouched.
    struct stat st { };
    if (::lstat(from.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE);
        errno = EISDIR;
        return failed(IoOp::Rename, to);
    }
    // Should this fail, the old file stays under the temporary name, as
    // after a kill between the two steps.
    ::unlink(from.c_str());
    return true;
}

bool syncDirectoryOfNative(const std::string& nativePath)
{
    if (injectFault(IoOp::Flush)) return false;
    const std::string dir = nativeFolderOf(nativePath);
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

std::int64_t fileLength(std::string_view path)
{
    struct stat st { };
    std::string native = resolveExisting(path);
    if (native.empty() || ::stat(native.c_str(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

} // namespace qorvan::platform
