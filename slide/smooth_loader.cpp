#include "slide/smooth_loader.h"
#include "platform/program.h"
#include "qorvan_install_dirs.h"

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>

namespace qorvan::slide {

SmoothDraw smoothDrawer(std::string* why)
{
    static std::once_flag once;
    static SmoothDraw draw = nullptr;
    static std::string failure;
    std::call_once(once, [] {
        std::string folder = platform::programFolder();
        if (!folder.empty()) folder += "/";
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

} // namespace qorvan::slide
