// Builds a result-buffer chain from arbitrary bytes (three bytes a node: a
// type selector and a 16-bit value) and walks it with ArgList: counting,
// indexing and reading every element must stay inside the chain.
#include "host/arglist.h"
#include "host/arx/aced.h"
#include "host/result_type.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace qorvan::host;

extern "C" {
int acutPrintf(const char*, ...)
{
    return 0;
}
struct resbuf* acutNewRb(int type)
{
    auto* rb = static_cast<resbuf*>(std::calloc(1, sizeof(resbuf)));
    if (rb) rb->restype = static_cast<short>(type);
    return rb;
}
int acutRelRb(struct resbuf* chain)
{
    while (chain) {
        resbuf* next = chain->rbnext;
        if (chain->restype == RTSTR) std::free(chain->resval.rstring);
        std::free(chain);
        chain = next;
    }
    return RTNORM;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const short TYPES[] = { RTLB, RTLE, RTSTR, RTSHORT, RTREAL, RTLONG, RTNIL, RTT };
    static char strings[4][300];
    for (int i = 0; i < 4; ++i) {
        std::memset(strings[i], 'a' + i, sizeof strings[i]);
        strings[i][i * 90] = '\0'; // lengths 0, 90, 180 and 270
    }
    std::vector<resbuf> nodes(size / 3);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const uint8_t sel = data[3 * i];
        const short value = static_cast<short>(data[3 * i + 1] | (data[3 * i + 2] << 8));
        resbuf& n = nodes[i];
        n.restype = sel < 0x80 ? TYPES[sel % 8] : value;
        n.resval.rint = value;
        if (qorvan::host::holdsString(n.restype)) n.resval.rstring = strings[value & 3];
        n.rbnext = i + 1 < nodes.size() ? &nodes[i + 1] : nullptr;
    }
    ArgList list(nodes.empty() ? nullptr : nodes.data());
    const std::int32_t count = list.argCount();
    if (count < 0 || static_cast<std::size_t>(count) > nodes.size()) std::abort();
    char buf[ARG_BUFFER];
    for (std::int32_t n = -1; n <= count; ++n) {
        resbuf* node = nullptr;
        const bool exists = list.nthElement(n, node) == RTNORM;
        if (exists != (n >= 0 && n < count)) std::abort();
        if (list.getStringArg(n, buf) == RTNORM && std::strlen(buf) >= ARG_BUFFER) std::abort();
        std::int32_t v = 0;
        list.getShortArg(n, v);
    }
    ArgList built;
    for (std::int32_t n = 0; n < count && n < 50; ++n)
        built.appendString(strings[n & 3], RTSTR);
    if (built.argCount() != (count < 50 ? count : 50)) std::abort();
    acutRelRb(built.getHead());
    return 0;
}
