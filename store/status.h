// The module-wide status: the code of the last failure and its message.
// Every failure of the store and the slide code is recorded through
// setStatus, the one place where each failure is born.
#pragma once

#include "platform/io.h"

namespace qorvan {

// The values are the numbers the module's callers see (AutoLISP, the host's
// messages), so they are fixed. An unscoped enumeration on purpose: the
// handlers that face the host pass a code on as the int it always was.
enum StatusCode : int {
    Ok = 0,
    CannotOpen = 1,
    DisplayMismatch = 2,
    InvalidSlide = 3,
    InvalidLibrary = 4,
    SlideNotFound = 5,
    NoMemory = 6,
    EmptyLibrary = 7,
    SlideExists = 8,
};

inline constexpr int STATUS_MESSAGE_CAPACITY = 1024;

// Records code and replaces the message. CannotOpen and EmptyLibrary put
// path into the message, SlideNotFound and SlideExists put slide first and
// path second; the others ignore both. Either may be null. Returns code, so
// failures read `return setStatus(CannotOpen, path, nullptr);`.
StatusCode setStatus(StatusCode code, const char* path, const char* slide);

StatusCode lastStatus();

// The current message; valid and unchanged until the next setStatus.
const char* statusMessage();

// The system's side of a code-1 failure, which its message cannot carry:
// the file the system was asked for (native form) and its errno, taken from
// the platform's note when the code is recorded. Empty file when nothing was
// noted (a path too long for the buffers, say) and for every other code.
const platform::IoFailure& statusCause();

} // namespace qorvan
