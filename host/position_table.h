// PositionTable: named x,y pairs kept in a text file ("RVK_DCL.CFG" in the
// current directory), loaded at initialisation and written back at unload
// only when names were added. Nothing in the module consults it in between.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorvan::host {

inline constexpr int POSITION_SLOTS = 100;
inline constexpr std::size_t POSITION_NAME_SIZE = 256;
inline constexpr const char POSITION_FILE_BASE[] = "RVK_DCL";
inline constexpr const char POSITION_LINE_FORMAT[] = "%s = %d,%d\n";

struct PositionSlot {
    char name[POSITION_NAME_SIZE]; // empty when name[0] is NUL
    std::int32_t x;
    std::int32_t y;
};

struct PositionTable {
    PositionSlot slots[POSITION_SLOTS];
    std::int32_t added; // names added since the last load
};

// The module's one table, empty when the module is loaded.
PositionTable& positionTable();

// Reads base + ".CFG": RTNORM when read, RTERROR when it cannot be opened.
int loadPositions(PositionTable& table, const char* base);
// Writes base + ".CFG" when names were added: RTNORM when written or when
// there was nothing to write, RTERROR when the file cannot be created.
int savePositions(const PositionTable& table, const char* base);
// Updates the slot of an equal name or fills the first empty slot; 1, or 0
// when the name is new and every slot is taken (the pair is dropped).
int putPosition(PositionTable& table, const char* name, std::int32_t x, std::int32_t y);

} // namespace qorvan::host
