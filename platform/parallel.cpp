#include "platform/parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace qorvan::platform {

int defaultJobs()
{
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min(n, 256u));
}

bool forEachItem(std::size_t count, int jobs, const std::function<void(std::size_t)>& work,
    const std::function<bool(std::size_t)>& finish)
{
    if (jobs <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            work(i);
            if (!finish(i)) return false;
        }
        return true;
    }
    std::atomic<std::size_t> next { 0 };
    std::atomic<bool> stop { false };
    std::mutex m;
    std::condition_variable ready;
    std::vector<char> done(count, 0);
    auto worker = [&] {
        for (;;) {
            if (stop.load()) return;
            std::size_t i = next.fetch_add(1);
            if (i >= count) return;
            work(i);
            {
                std::lock_guard<std::mutex> lock(m);
                done[i] = 1;
            }
            ready.notify_all();
        }
    };
    std::vector<std::thread> threads;
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(jobs), count);
    for (std::size_t t = 0; t < n; ++t)
        threads.emplace_back(worker);
    bool ok = true;
    for (std::size_t i = 0; i < count; ++i) {
        {
            std::unique_lock<std::mutex> lock(m);
            ready.wait(lock, [&] { return done[i] != 0; });
        }
        if (!finish(i)) {
            ok = false;
            stop = true;
            break;
        }
    }
    for (std::thread& t : threads)
        t.join();
    return ok;
}

} // namespace qorvan::platform
