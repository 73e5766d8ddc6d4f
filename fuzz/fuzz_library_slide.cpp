// Arbitrary bytes as a library file: every slide its directory names is
// looked up and drawn, and a name it does not hold is looked for.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/io.h"
#include "slide/display.h"
#include "slide/offscreen_window.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qorvan::slide;
    static const std::string base = "/tmp/qorvan-fuzz-lib-" + std::to_string(::getpid());
    {
        auto f = qorvan::platform::File::openNative(base + ".SLB", qorvan::platform::OpenMode::Write);
        if (!f.isOpen() || !f.write(data, size) || !f.close()) return 0;
    }
    OffscreenWindow window(64, 48);
    for (std::size_t at = 32, k = 0; at + 36 <= size && data[at] != 0 && k < 16; at += 36, ++k) {
        std::string name(reinterpret_cast<const char*>(data + at), 31);
        name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
        if (name.find_first_of("()") != std::string::npos) continue;
        std::string ref = base + "(" + name + ")";
        int result = showSlide(&window, ref.c_str());
        if (result < 0 || result > 5) __builtin_trap();
    }
    showSlide(&window, (base + "(NO-SUCH-SLIDE)").c_str());
    if (window.surfacesOut() != 0) __builtin_trap();
    std::remove((base + ".SLB").c_str());
    return 0;
}
