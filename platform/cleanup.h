// Files that must not outlive an interrupted program: the temporary file of
// a write in progress, a lock file. A program that wants them gone when it
// is interrupted installs the handlers once; everything that creates such a
// file tracks it for as long as it exists.
#pragma once

#include <csignal>

namespace qorvan::platform {

// Registers a native path; returns a ticket for untrackPath, or -1 when the
// table is full or the path too long (the file is then not cleaned up on a
// signal, which loses nothing but leaves it behind).
int trackPath(const char* nativePath);
void untrackPath(int ticket);

// Holds SIGINT, SIGTERM and SIGHUP back for its lifetime, so that creating
// a file and tracking it (or renaming it and untracking it) is one step for
// the handler: it never sees a file that exists untracked, nor a tracked
// name that has become someone else's file.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t old_;
};

// On SIGINT, SIGTERM and SIGHUP: remove every tracked file, then die of the
// same signal, so the parent still learns how the program ended.
void installCleanupOnSignals();

// Removes every tracked file now. Safe in a signal handler.
void removeTrackedPaths();
// Functions the handler also calls, before the program dies: how a host
// reaches the tracked files of the modules it loaded, each of which keeps a
// table of its own. Each must be safe in a signal handler. False when the
// few places are taken.
bool addSignalCleanup(void (*hook)());
void removeSignalCleanup(void (*hook)());

} // namespace qorvan::platform
