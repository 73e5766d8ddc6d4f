// Which result type a node's type code stands for. A node may carry a
// drawing database group code instead of a result type; the code's range
// says what its value holds. The module reads arguments by it and the
// console frees the strings it holds by it, so both must agree.
#pragma once

#include "host/arx/adsdef.h"

namespace qorvan::host {

// The result type of a result type (returned as it is) or of a group code;
// a code in no range is returned as it is.
constexpr short resultTypeOf(short code)
{
    struct Range {
        short low, high, type;
    };
    constexpr Range RANGES[] = {
        { -3, -3, RTSHORT },
        { -2, -1, RTENAME },
        { 0, 9, RTSTR },
        { 10, 37, RT3DPOINT },
        { 38, 49, RTREAL },
        { 50, 59, RTANG },
        { 60, 79, RTSHORT },
        { 80, 89, RTSTR },
        { 90, 99, RTSHORT },
        { 100, 109, RTSTR },
        { 110, 139, RT3DPOINT },
        { 140, 149, RTREAL },
        { 150, 159, RTANG },
        { 160, 179, RTSHORT },
        { 180, 209, RTSTR },
        { 210, 219, RT3DPOINT },
        { 260, 289, RTSHORT },
        { 300, 329, RTSTR },
        { 330, 369, RTENAME },
        { 900, 1009, RTSTR },
        { 1010, 1039, RT3DPOINT },
        { 1040, 1049, RTREAL },
        { 1050, 1059, RTANG },
        { 1060, 1079, RTSHORT },
    };
    if (code >= RTNONE) return code;
    for (const Range& r : RANGES)
        if (code >= r.low && code <= r.high) return r.type;
    return code;
}

// Whether a node of this type owns a malloc'd string in resval.rstring.
constexpr bool holdsString(short type)
{
    return resultTypeOf(type) == RTSTR;
}

} // namespace qorvan::host
