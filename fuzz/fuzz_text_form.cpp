// The text form from both ends. The input as text: the reader must accept
// it or name a line and column inside it, never crash; what it builds must
// dump and build back to the same bytes. The input as bytes: dumped as a
// slide and as a library, each must build back to exactly the input.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "inspect/text_form.h"

namespace {

void roundTrip(const std::vector<std::uint8_t>& bytes, bool library)
{
    using namespace qorvan::inspect;
    std::string text
        = library ? dumpLibrary(bytes.data(), bytes.size()) : dumpSlide(bytes.data(), bytes.size());
    BuildResult r = buildFromText(text);
    if (!r.ok || r.library != library || r.bytes != bytes) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qorvan::inspect;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    BuildResult r = buildFromText(text);
    if (r.ok) {
        roundTrip(r.bytes, r.library);
    } else {
        int lines = 1;
        for (char c : text)
            lines += c == '\n';
        if (r.error.line < 1 || r.error.line > lines || r.error.column < 1 || r.error.message.empty())
            __builtin_trap();
    }
    std::vector<std::uint8_t> bytes(data, data + size);
    roundTrip(bytes, false);
    roundTrip(bytes, true);
    return 0;
}
