// The host's conversions between AutoLISP values and result-buffer chains.
#pragma once

#include "console/value.h"

#include <vector>

struct resbuf;

namespace qorvan::console {

// Values as a chain of nodes the console allocates and later releases with
// releaseChain: 16-bit integers as RTSHORT, wider ones as RTLONG, reals,
// strings, nil, T, lists between RTLB and RTLE (a dotted tail after RTDOTE).
// Throws LispError for values that have no node form (functions, symbols).
resbuf* toChain(const std::vector<Value>& values);
// A chain as a list of values; nested RTLB/RTLE become lists. A missing
// RTLE closes at the end of the chain; a stray RTLE is ignored.
Value fromChain(const resbuf* chain);

resbuf* newNode(int type);
void releaseChain(resbuf* chain);

} // namespace qorvan::console
