#include "cli/smooth.h"
#include "qorvan_install_dirs.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <mutex>

namespace qorvan::cli {

namespace {

    // Beside the program, as in the build tree; else where an installation puts
    // private modules (lib/qorvan/ beside the program's bin/).
    std::string programFolder()
    {
        char self[PATH_MAX];
        ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        if (n <= 0) return "";
        std::string path(self, static_cast<std::size_t>(n));
        return path.substr(0, path.rfind('/') + 1);
    }

} // namespace

SmoothDraw smoothDrawer(std::string* why)
{
    static std::once_flag once;
    static SmoothDraw draw = nullptr;
    static std::string failure;
    std::call_once(once, [] {
        const std::string folder = programFolder();
        void* module = nullptr;
        for (const std::string& candidate :
            { folder + "qorvan-smooth.so", folder + QORVAN_MODULE_DIR_FROM_BINDIR "/qorvan-smooth.so" }) {
            module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (module) break;
            if (failure.empty()) failure = ::dlerror();
        }
        if (!module) return;
        draw = reinterpret_cast<SmoothDraw>(::dlsym(module, "qorvan_smooth_draw"));
        if (!draw) failure = "qorvan-smooth.so has no qorvan_smooth_draw";
    });
    if (!draw && why) *why = failure;
    return draw;
}

} // namespace qorvan::cli
