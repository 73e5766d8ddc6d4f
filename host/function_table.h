// The names the module defines to the host, with their handlers and kinds.
// An entry's index is its function code: the number the host hands back when
// AutoLISP calls the name.
#pragma once

#include <cstdint>

namespace qorvan::host {

// 5100 (RTNORM) means the handler set the function's value itself.
typedef int (*Handler)();

enum FunctionKind : std::int32_t {
    Command = 0,
    LispFunction = 1,
};

struct FunctionEntry {
    const char* name; // not copied: names are string literals
    Handler handler;
    FunctionKind kind;
};

// A heap array that grows by exactly one entry per addition and has no spare
// capacity; entries are never removed one by one.
class FunctionTable {
public:
    FunctionTable() = default;
    ~FunctionTable() { clearFunctions(); }
    FunctionTable(const FunctionTable&) = delete;
    FunctionTable& operator=(const FunctionTable&) = delete;

    // 1 when appended, 0 when the array cannot grow (the table is unchanged).
    int addFunction(const char* name, Handler handler, FunctionKind kind);
    std::int32_t functionCount() const { return count_; }
    // 0 <= index < functionCount().
    const FunctionEntry& functionAt(std::int32_t index) const { return entries_[index]; }
    void clearFunctions();

private:
    FunctionEntry* entries_ = nullptr;
    std::int32_t count_ = 0;
};

namespace detail {
    // Test seam: makes the next n growths of any FunctionTable fail.
    void failNextGrowths(int n);
} // namespace detail

} // namespace qorvan::host
