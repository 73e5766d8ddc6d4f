// The table of files to remove on a fatal signal. The handler may run at any
// moment, so the table is fixed in size and guarded by one atomic state per
// slot instead of a lock.
#include "platform/cleanup.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace qorvan::platform {

namespace {

    constexpr int SLOTS = 64;
    constexpr std::size_t PATH_CAP = 4096;

    enum SlotState : int { Free = 0, Filling = 1, Ready = 2 };

    struct Slot {
        std::atomic<int> state { Free };
        char path[PATH_CAP] {};
    };

    // Initialised at compile time (all zero, in .bss): a constructor run at
    // start would touch every one of its 64 pages in every run of a program.
    constinit Slot slots[SLOTS] {};

    static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free slots");

    constexpr int HOOKS = 8;
    constinit std::atomic<void (*)()> hooks[HOOKS] {};
    static_assert(std::atomic<void (*)()>::is_always_lock_free, "the signal handler needs lock-free hooks");

    void onSignal(int sig)
    {
        removeTrackedPaths();
        for (auto& h : hooks)
            if (auto* hook = h.load()) hook();
        std::signal(sig, SIG_DFL);
        ::raise(sig);
    }

} // namespace

int trackPath(const char* nativePath)
{
    std::size_t n = std::strlen(nativePath);
    if (n >= PATH_CAP) return -1;
    for (int i = 0; i < SLOTS; ++i) {
        int expected = Free;
        if (!slots[i].state.compare_exchange_strong(expected, Filling)) continue;
        std::memcpy(slots[i].path, nativePath, n + 1);
        slots[i].state.store(Ready);
        return i;
    }
    return -1;
}

void untrackPath(int ticket)
{
    if (ticket >= 0 && ticket < SLOTS) slots[ticket].state.store(Free);
}

SignalsHeld::SignalsHeld()
{
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    sigaddset(&held, SIGHUP);
    ::pthread_sigmask(SIG_BLOCK, &held, &old_);
}

SignalsHeld::~SignalsHeld()
{
    ::pthread_sigmask(SIG_SETMASK, &old_, nullptr);
}

void removeTrackedPaths()
{
    for (Slot& s : slots)
        if (s.state.load() == Ready) ::unlink(s.path);
}

bool addSignalCleanup(void (*hook)())
{
    for (auto& h : hooks) {
        void (*expected)() = nullptr;
        if (h.compare_exchange_strong(expected, hook)) return true;
    }
    return false;
}

void removeSignalCleanup(void (*hook)())
{
    for (auto& h : hooks) {
        void (*expected)() = hook;
        h.compare_exchange_strong(expected, nullptr);
    }
}

void installCleanupOnSignals()
{
    struct sigaction sa { };
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    // The handler removes files of every kind, so no second signal may cut
    // it short.
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    sigaddset(&sa.sa_mask, SIGHUP);
    for (int sig : { SIGINT, SIGTERM, SIGHUP }) {
        struct sigaction old { };
        // A signal ignored by whoever started us stays ignored (nohup).
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        ::sigaction(sig, &sa, nullptr);
    }
}

} // namespace qorvan::platform
