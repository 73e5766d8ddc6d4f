// PositionTable: the slot rules and the "%s = %d,%d" file.
#include "host/position_table.h"

#include "host/arx/adsdef.h"
#include "platform/io.h"
#include "platform/resolve.h"
#include "platform/save_file.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace qorvan::host {

PositionTable& positionTable()
{
    static PositionTable table {};
    return table;
}

namespace {

    std::string fileName(const char* base)
    {
        return std::string(base) + ".CFG";
    }

    // Scans one line as "%s = %d,%d": a run of non-blank characters, blanks, '=',
    // blanks, an integer, ',', an integer. The name is at most 255 characters,
    // which a line read into a 256-byte buffer cannot exceed.
    bool scanLine(const char* line, char (&name)[POSITION_NAME_SIZE], int& x, int& y)
    {
        return std::sscanf(line, "%255s = %d,%d", name, &x, &y) == 3;
    }

} // namespace

int putPosition(PositionTable& table, const char* name, std::int32_t x, std::int32_t y)
{
    for (PositionSlot& slot : table.slots) {
        if (slot.name[0] != '\0' && std::strcmp(slot.name, name) == 0) {
            slot.x = x;
            slot.y = y;
            return 1;
        }
    }
    for (PositionSlot& slot : table.slots) {
        if (slot.name[0] == '\0') {
            std::snprintf(slot.name, sizeof slot.name, "%s", name);
            slot.x = x;
            slot.y = y;
            ++table.added;
            return 1;
        }
    }
    return 0;
}

int loadPositions(PositionTable& table, const char* base)
{
    table.added = 0;
    platform::File file = platform::File::open(fileName(base), platform::OpenMode::Read);
    if (!file.isOpen()) return RTERROR;
    char line[POSITION_NAME_SIZE];
    while (file.readLine(line, sizeof line)) {
        char name[POSITION_NAME_SIZE];
        int x = 0;
        int y = 0;
        if (scanLine(line, name, x, y)) putPosition(table, name, x, y);
    }
    file.close();
    return RTNORM;
}

int savePositions(const PositionTable& table, const char* base)
{
    if (table.added <= 0) return RTNORM;
    // A failed save keeps the positions saved before.
    platform::SaveFile out;
    if (!out.open(platform::resolveForCreate(fileName(base)))) return RTERROR;
    platform::File& file = out.file();
    bool ok = true;
    for (const PositionSlot& slot : table.slots) {
        if (slot.name[0] == '\0') break;
        char line[POSITION_NAME_SIZE + 32];
        const int n = std::snprintf(line, sizeof line, POSITION_LINE_FORMAT, slot.name, slot.x, slot.y);
        if (n > 0 && !file.write(line, static_cast<std::size_t>(n))) ok = false;
    }
    return ok && out.commit() ? RTNORM : RTERROR;
}

} // namespace qorvan::host
