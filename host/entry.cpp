// The module's exported entry points and its process attach and detach. These
// are the only symbols the module exports (see module.map); no C++ exception
// crosses them into the host.
#include "host/application_module.h"
#include "host/extension_module.h"
#include "platform/cleanup.h"

#include <dlfcn.h>

#define QORVAN_EXPORT extern "C" __attribute__((visibility("default")))

QORVAN_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId)
{
    try {
        qorvan::host::theModule().dispatchMessage(msg, appId);
    } catch (...) {
        // The host never sees a failure from a message.
    }
    return AcRx::kRetOK;
}

QORVAN_EXPORT int acrxGetApiVersion()
{
    return ACRX_API_VERSION_R15;
}

QORVAN_EXPORT void _SetacrxPtp()
{
}

// For a host that dies of a signal while a library is rewritten: the
// module's temporary files are in its own table, which only it can reach.
// Safe in a signal handler.
QORVAN_EXPORT void qorvanRemoveTemporaries()
{
    qorvan::platform::removeTrackedPaths();
}

namespace {

// The image's base address stands for the module instance handle.
void* imageBase()
{
    Dl_info info {};
    if (dladdr(reinterpret_cast<void*>(&acrxGetApiVersion), &info) == 0) return nullptr;
    return info.dli_fbase;
}

__attribute__((constructor)) void attach()
{
    try {
        qorvan::host::processAttach(imageBase());
    } catch (...) {
    }
}

__attribute__((destructor)) void detach()
{
    qorvan::host::processDetach();
}

} // namespace
