// Looks slides up in an arbitrary library file and draws them: the names of
// the first two directory entries (so real libraries are drawn, not only
// refused) and one name that no entry holds. Every result must be one of the
// codes the lookup promises, and no drawing object may be left behind.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "slide/raster_surface.h"
#include "slide/renderer.h"
#include "slide/display.h"

using namespace qorvan::slide;

namespace {

// The library lives in a scratch directory of its own; the current
// directory is left alone, since libFuzzer's corpus paths rely on it.
const std::string& scratchBase()
{
    static const std::string base = [] {
        char tmpl[] = "/tmp/qorvan-fuzz-library-XXXXXX";
        if (!mkdtemp(tmpl)) std::abort();
        return std::string(tmpl) + "/FUZZ";
    }();
    return base;
}

std::string entryName(const uint8_t* data, size_t size, size_t index)
{
    size_t at = 32 + index * 36;
    if (size < at + 32) return "NONE";
    return std::string(reinterpret_cast<const char*>(data + at), strnlen(reinterpret_cast<const char*>(data + at), 32));
}

void lookUp(const std::string& base, const std::string& name)
{
    RasterSurface surface(64, 48);
    SlideRenderer renderer;
    renderer.surface = &surface;
    int result = drawLibrarySlide(renderer, base.c_str(), name.c_str());
    if (result < 0 || result > 5) std::abort();
    if (surface.liveObjects() != 0) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& base = scratchBase();
    const std::string file = base + ".SLB";
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    lookUp(base, entryName(data, size, 0));
    lookUp(base, entryName(data, size, 1));
    lookUp(base, "NO SUCH SLIDE");
    std::remove(file.c_str());
    return 0;
}
