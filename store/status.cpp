// LastError and its message formats.
#include "store/status.h"

#include <cstdio>

namespace qorvan {

namespace {

    struct LastError {
        StatusCode code = Ok;
        char message[STATUS_MESSAGE_CAPACITY] = {};
    };

    // One per thread: the tool draws many slides at once, and each drawing's
    // header check must report its own result. A single-threaded caller (the
    // module in its host) sees no difference.
    thread_local LastError lastError;
    thread_local platform::IoFailure lastCause;

    const char* const MESSAGE_FORMATS[] = {
        "",
        "\"%s\": Can't open file",
        "Warning--Slide prepared for different display.",
        "Error reading slide file. *Invalid*",
        "Slide library invalid.",
        "Slide %s not found in library %s.",
        "Error Unknown",
        "No slide exists in library %s.",
        "Slide %s already exists in library %s.",
    };

} // namespace

StatusCode setStatus(StatusCode code, const char* path, const char* slide)
{
    lastError.code = code;
    // A failure noted before a reset belongs to no operation after it.
    if (code == Ok) platform::clearFailure();
    lastCause = code == CannotOpen ? platform::takeFailure() : platform::IoFailure {};
    const char* p = path ? path : "";
    const char* s = slide ? slide : "";
    char* out = lastError.message;
    const auto cap = sizeof lastError.message;
    switch (code) {
    case CannotOpen:
    case EmptyLibrary:
        std::snprintf(out, cap, MESSAGE_FORMATS[code], p);
        break;
    case SlideNotFound:
    case SlideExists:
        std::snprintf(out, cap, MESSAGE_FORMATS[code], s, p);
        break;
    case Ok:
    case DisplayMismatch:
    case InvalidSlide:
    case InvalidLibrary:
    case NoMemory:
        std::snprintf(out, cap, "%s", MESSAGE_FORMATS[code]);
        break;
    default:
        out[0] = '\0';
        break;
    }
    return code;
}

StatusCode lastStatus()
{
    return lastError.code;
}

const char* statusMessage()
{
    return lastError.message;
}

const platform::IoFailure& statusCause()
{
    return lastCause;
}

} // namespace qorvan
