#include "platform/stdout.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qorvan::platform {

namespace {
    int outputFailureStatus = 1;
}

bool closeStandardOutput(std::string& reason)
{
    // An earlier buffered write may have failed already; its errno is gone,
    // but the flush below retries the bytes still buffered and fails again
    // with the reason.
    const bool failedBefore = std::ferror(stdout) != 0;
    errno = 0;
    bool ok = std::fflush(stdout) == 0;
    int error = ok ? 0 : errno;
    // Closing reports what only the close learns (a file system that
    // writes back late).
    if (std::fclose(stdout) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (failedBefore) ok = false;
    if (!ok) reason = error ? std::strerror(error) : "write error";
    return ok;
}

int finishStandardOutput(const char* program, int status)
{
    std::string reason;
    if (closeStandardOutput(reason)) return status;
    std::fprintf(stderr, "%s: cannot write standard output: %s\n", program, reason.c_str());
    return outputFailureStatus;
}

void setOutputFailureStatus(int status)
{
    outputFailureStatus = status;
}

} // namespace qorvan::platform
