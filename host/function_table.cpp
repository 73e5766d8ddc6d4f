// FunctionTable: growth by one entry at a time over realloc, so an addition
// that cannot get memory leaves the old array and count intact.
#include "host/function_table.h"

#include <cstdlib>

namespace qorvan::host {

namespace {
    int failingGrowths = 0;
}

void detail::failNextGrowths(int n)
{
    failingGrowths = n;
}

int FunctionTable::addFunction(const char* name, Handler handler, FunctionKind kind)
{
    if (failingGrowths > 0) {
        --failingGrowths;
        return 0;
    }
    const auto newCount = static_cast<std::size_t>(count_) + 1;
    auto* grown = static_cast<FunctionEntry*>(std::realloc(entries_, newCount * sizeof(FunctionEntry)));
    if (!grown) return 0;
    entries_ = grown;
    entries_[count_] = FunctionEntry { name, handler, kind };
    ++count_;
    return 1;
}

void FunctionTable::clearFunctions()
{
    std::free(entries_);
    entries_ = nullptr;
    count_ = 0;
}

} // namespace qorvan::host
