// Reads arbitrary text as AutoLISP, prints every expression and reads the
// printed form back: it must read as one expression that prints the same.
#include "console/printer.h"
#include "console/reader.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace qorvan::console;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Reader reader(text);
    for (int i = 0; i < 1000; ++i) {
        Value v;
        std::string message;
        if (reader.next(v, message) != ReadStatus::Ok) break;
        const std::string printed = prin1Form(v);
        if (printed.find("#INF") != std::string::npos || printed.find("NaN") != std::string::npos) continue;
        Reader again(printed);
        Value w;
        if (again.next(w, message) != ReadStatus::Ok || prin1Form(w) != printed) std::abort();
    }
    return 0;
}
