// The SIGINT flag and the check the evaluator makes at each step.
#include "console/interrupt.h"

#include "console/interpreter.h"

#include <csignal>

namespace qorvan::console {

namespace {

    volatile std::sig_atomic_t interrupted = 0;
    struct sigaction previous;

    extern "C" void onInterrupt(int)
    {
        interrupted = 1;
    }

} // namespace

InterruptGuard::InterruptGuard()
{
    interrupted = 0;
    struct sigaction action { };
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read at the prompt must return so the line can be
    // given up.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, &previous);
}

InterruptGuard::~InterruptGuard()
{
    sigaction(SIGINT, &previous, nullptr);
}

bool takeInterrupt()
{
    const bool was = interrupted != 0;
    interrupted = 0;
    return was;
}

bool interruptPending()
{
    return interrupted != 0;
}

void checkInterrupt()
{
    if (takeInterrupt()) throw LispError("Function cancelled");
}

} // namespace qorvan::console
