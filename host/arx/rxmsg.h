// The application messages a host sends to a module's acrxEntryPoint, and the
// signatures of the entry points it looks up when it loads a module.
#pragma once

namespace AcRx {

enum AppMsgCode : int {
    kNullMsg = 0,
    kInitAppMsg = 1,
    kUnloadAppMsg = 2,
    kLoadDwgMsg = 3,
    kUnloadDwgMsg = 4,
    kInvkSubrMsg = 5,
    kCfgMsg = 6,
    kEndMsg = 7,
    kQuitMsg = 8,
    kSaveMsg = 9,
    kDependencyMsg = 10,
    kNoDependencyMsg = 11,
    kOleUnloadAppMsg = 12,
    kPreQuitMsg = 13,
};

inline constexpr int APP_MSG_COUNT = 14;

enum AppRetCode : int {
    kRetOK = 0,
    kRetError = 3,
};

} // namespace AcRx

// The release 15 API version a module answers in the handshake.
inline constexpr int ACRX_API_VERSION_R15 = 0xF0000;

// Names and types of the exported entry points, as the host binds them.
inline constexpr const char ACRX_ENTRY_POINT[] = "acrxEntryPoint";
inline constexpr const char ACRX_GET_API_VERSION[] = "acrxGetApiVersion";
inline constexpr const char ACRX_SET_PTP[] = "_SetacrxPtp";

typedef AcRx::AppRetCode (*AcRxEntryPointFn)(AcRx::AppMsgCode msg, void* appId);
typedef int (*AcRxGetApiVersionFn)();
typedef void (*AcRxSetPtpFn)();
