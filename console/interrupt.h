// Ctrl-C at the interactive prompt: the expression being evaluated is
// abandoned and the prompt comes back, as in the host, instead of the whole
// session (and the modules' unsaved state) ending.
#pragma once

namespace qorvan::console {

// Catches SIGINT for the life of the guard (restoring the previous handler
// afterwards); only the interactive session on a terminal installs it, so a
// script or -e run is still ended by Ctrl-C.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// True once after each Ctrl-C: reading it clears it.
bool takeInterrupt();
// Cheap enough to call at every evaluation step.
bool interruptPending();
// Throws the host's cancel error when Ctrl-C was pressed.
void checkInterrupt();

} // namespace qorvan::console
