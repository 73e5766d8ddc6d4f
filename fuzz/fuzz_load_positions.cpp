// Loads arbitrary bytes as the position file, saves the table and loads the
// saved file into a fresh table: both tables must hold the same slots.
#include "fuzz/scratch.h"
#include "host/position_table.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

using namespace qorvan::host;

namespace {
// The file lives in a scratch directory of its own; the harness does not
// change the current directory, which libFuzzer's corpus paths rely on.
const std::string& scratchBase()
{
    static const std::string base = [] { return qorvan::fuzz::scratchFolder("positions") + "/RVK_DCL"; }();
    return base;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& base = scratchBase();
    const std::string file = base + ".CFG";
    if (std::FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    auto first = std::make_unique<PositionTable>();
    loadPositions(*first, base.c_str());
    std::remove(file.c_str());
    if (savePositions(*first, base.c_str()) != 5100) std::abort();
    auto second = std::make_unique<PositionTable>();
    const int loaded = loadPositions(*second, base.c_str());
    if (first->added == 0) {
        if (loaded != -5001) std::abort(); // nothing added: nothing written
        return 0;
    }
    // A saved line of 255 characters or more is read back in pieces, as the
    // file format says; such tables cannot round-trip and are not compared.
    for (const PositionSlot& slot : first->slots) {
        char line[POSITION_NAME_SIZE + 32];
        if (slot.name[0]
            && std::snprintf(line, sizeof line, "%s = %d,%d", slot.name, slot.x, slot.y) >= 255) {
            std::remove(file.c_str());
            return 0;
        }
    }
    for (int i = 0; i < POSITION_SLOTS; ++i) {
        const PositionSlot& a = first->slots[i];
        const PositionSlot& b = second->slots[i];
        if (std::strcmp(a.name, b.name) != 0 || (a.name[0] && (a.x != b.x || a.y != b.y))) std::abort();
    }
    std::remove(file.c_str());
    return 0;
}
