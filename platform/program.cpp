#include "platform/program.h"

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace qorvan::platform {

namespace {

    bool exists(const std::string& path)
    {
        struct stat st { };
        return ::stat(path.c_str(), &st) == 0;
    }

    std::string env(const char* name)
    {
        const char* v = std::getenv(name);
        return v ? std::string(v) : std::string();
    }

} // namespace

std::string programFolder()
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.parent_path().string();
}

bool displayAvailable()
{
    if (!env("QT_QPA_PLATFORM").empty()) return true;
    const std::string wayland = env("WAYLAND_DISPLAY");
    if (!wayland.empty() && exists(wayland[0] == '/' ? wayland : env("XDG_RUNTIME_DIR") + "/" + wayland))
        return true;
    // Connecting to an X display that is not there ends the program inside
    // the toolkit, so a local display counts only when its socket exists.
    const std::string x = env("DISPLAY");
    const std::size_t colon = x.find(':');
    if (colon == std::string::npos) return false;
    if (colon > 0 && x.compare(0, colon, "unix") != 0) return true; // a remote display
    std::string number = x.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    return exists("/tmp/.X11-unix/X" + number);
}

} // namespace qorvan::platform
