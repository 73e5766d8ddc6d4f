#include "store/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/io.h"
#include "store/limits.h"

namespace qorvan {

namespace {

    // A pipe has no length to ask for: it is read to its end. The store's
    // bound on a library bounds it too.
    bool readPipe(const std::string& path, std::vector<std::uint8_t>& out)
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            platform::noteFailure(platform::IoOp::Open, path);
            return false;
        }
        out.clear();
        std::uint8_t buffer[1 << 16];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) break;
            if (n == 0) {
                ::close(fd);
                return true;
            }
            if (out.size() + static_cast<std::size_t>(n) > static_cast<std::size_t>(MAX_LIBRARY_BYTES)) {
                errno = EFBIG;
                break;
            }
            out.insert(out.end(), buffer, buffer + n);
        }
        platform::noteFailure(platform::IoOp::Read, path);
        ::close(fd);
        return false;
    }

    bool isPipe(const std::string& path)
    {
        struct stat st { };
        return ::stat(path.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
    }

} // namespace

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& out)
{
    // Regular files go through the platform's rules; a pipe (/dev/stdin fed
    // by a shell pipe, a process substitution, a FIFO) is read as it
    // stands, since the platform refuses everything but regular files.
    if (isPipe(path)) return readPipe(path, out);
    platform::File file = platform::File::open(path, platform::OpenMode::Read);
    if (!file.isOpen()) return false;
    std::int64_t length = file.length();
    if (length < 0) return false;
    out.resize(static_cast<std::size_t>(length));
    bool ok = file.readExact(out.data(), out.size());
    file.close();
    return ok;
}

bool readFileStart(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& out)
{
    platform::File file = platform::File::open(path, platform::OpenMode::Read);
    if (!file.isOpen()) return false;
    out.resize(limit);
    out.resize(file.read(out.data(), out.size()));
    return true;
}

std::string readFailure(const std::string& path)
{
    struct stat st { };
    const int saved = errno;
    if (::stat(path.c_str(), &st) != 0) return path + ": " + std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return path + ": a folder, not a file";
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode) && !S_ISSOCK(st.st_mode))
        return path + ": a device, not a file or a pipe";
    return path + ": cannot read it: " + std::strerror(saved ? saved : EIO);
}

} // namespace qorvan
