// The library backup the manager makes when a library is chosen.
#include "ui/manager_dialog.h"

#include "platform/io.h"
#include "platform/resolve.h"
#include "platform/save_file.h"
#include "store/edit.h"
#include "ui/prompts.h"

#include <sys/stat.h>
#include <vector>

namespace qorvan::ui {

bool CopyFileInChunks(const std::string& destination, const std::string& source)
{
    using platform::File;
    using platform::OpenMode;
    File in = File::open(source, OpenMode::Read);
    if (!in.isOpen()) return true; // a new library has nothing to back up
    // A library whose own name ends in .bak (in any letter case) would be
    // its own backup: writing it would be the one way to lose it here.
    const std::string nativeDestination = platform::resolveForCreate(destination);
    // Compared without opening the backup to read, which would count it
    // among the inputs that no output may replace.
    platform::FileId from;
    struct stat st { };
    const std::string real = platform::followLinks(nativeDestination);
    if (in.id(from) && !real.empty() && ::stat(real.c_str(), &st) == 0
        && from
            == platform::FileId {
                static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino) })
        return true;

    // The old backup stays until the new one is complete.
    platform::SaveFile out;
    if (!out.open(nativeDestination)) {
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
        ok = in.read(chunk.data(), rest) == rest && out.write(chunk.data(), rest);
    }
    // A copy cut short is no backup: the previous one, if any, is kept.
    if (ok) out.commit();
    return true;
}

} // namespace qorvan::ui
