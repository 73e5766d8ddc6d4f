// Work over many items on several threads, with what the user sees (messages,
// progress, the first failure) handled on the calling thread in item order,
// so a parallel run reports exactly what a serial one would.
#pragma once

#include <cstddef>
#include <functional>

namespace qorvan::platform {

// The default of -j: the number of cores (1 when it cannot be told).
int defaultJobs();

// Runs work(i) for i = 0..count-1 on up to jobs threads (jobs <= 1: on this
// thread alone), and finish(i) on this thread, in order of i, once work(i)
// is done. When finish returns false no further work is started, finish is
// not called again, and forEachItem returns false once the running work has
// ended. work must not touch what finish reads for other items.
bool forEachItem(std::size_t count, int jobs, const std::function<void(std::size_t)>& work,
    const std::function<bool(std::size_t)>& finish);

} // namespace qorvan::platform
