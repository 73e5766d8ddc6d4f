// The library backup the manager makes when a library is chosen.
#include "ui/manager_dialog.h"

#include "platform/io.h"
#include "store/edit.h"
#include "ui/prompts.h"

#include <vector>

namespace qorvan::ui {

bool CopyFileInChunks(const std::string& destination, const std::string& source)
{
    using platform::File;
    using platform::OpenMode;
    File in = File::open(source, OpenMode::Read);
    if (!in.isOpen()) return true; // a new library has nothing to back up
    File out = File::open(destination, OpenMode::Write);
    if (!out.isOpen()) {
        prompts().messageBox(nullptr, "File can't open : " + destination, "Error", Buttons::Ok, Icon::Error);
        return false;
    }
    std::int64_t len = in.length();
    std::vector<char> chunk(COPY_CHUNK);
    bool ok = len >= 0;
    while (ok && len >= static_cast<std::int64_t>(COPY_CHUNK)) {
        ok = in.read(chunk.data(), COPY_CHUNK) == COPY_CHUNK && out.write(chunk.data(), COPY_CHUNK);
        len -= static_cast<std::int64_t>(COPY_CHUNK);
    }
    if (ok) {
        auto rest = static_cast<std::size_t>(len);
        if (in.read(chunk.data(), rest) == rest) out.write(chunk.data(), rest);
    }
    out.close();
    in.close();
    return true;
}

} // namespace qorvan::ui
