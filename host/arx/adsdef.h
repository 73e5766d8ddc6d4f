// The host's result-buffer node and its type and result codes, with the
// host's own names, values and layout. A module and its host exchange AutoLISP
// values as chains of these nodes.
#pragma once

#include <cstdint>

typedef double ads_real;
typedef ads_real ads_point[3];
typedef std::int64_t ads_name[2];

// Result types of a node (the host's RT codes). Codes below 5000 are the
// drawing database's group codes, which may also stand in a node's type.
enum : short {
    RTNONE = 5000,
    RTREAL = 5001,
    RTPOINT = 5002,
    RTSHORT = 5003,
    RTANG = 5004,
    RTSTR = 5005,
    RTENAME = 5006,
    RTPICKS = 5007,
    RTORINT = 5008,
    RT3DPOINT = 5009,
    RTLONG = 5010,
    RTVOID = 5014,
    RTLB = 5016,
    RTLE = 5017,
    RTDOTE = 5018,
    RTNIL = 5019,
    RTDXF0 = 5020,
    RTT = 5021,
    RTRESBUF = 5023,
};

// Results of host calls and of a module's functions.
enum : int {
    RTNORM = 5100,
    RTERROR = -5001,
    RTCAN = -5002,
    RTREJ = -5003,
    RTFAIL = -5004,
    RTKWORD = -5005,
};

union ads_u_val {
    ads_real rreal;
    ads_real rpoint[3];
    short rint;
    char* rstring;
    std::int64_t rlname[2];
    std::int32_t rlong;
    struct ads_binary {
        short clen;
        char* buf;
    } rbinary;
};

struct resbuf {
    struct resbuf* rbnext;
    short restype;
    union ads_u_val resval;
};
