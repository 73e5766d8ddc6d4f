// A probe module for the console's end-to-end tests: it reports every
// application message it receives, defines functions that echo their
// arguments and return each kind of value, and registers the command PROBE.
// Built three ways: normal, locked (never unlocks itself) and with a foreign
// API version.
#include "host/arx/aced.h"
#include "host/arx/rxmsg.h"

#include <cstring>

#ifndef PROBE_API_VERSION
#define PROBE_API_VERSION 0xF0000
#endif

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const char* const NAMES[] = { "probe-args", "probe-void", "probe-nothing", "probe-str", "probe-bad-list" };

int probeCommand()
{
    acutPrintf("probe command ran\n");
    return RTNORM;
}

template <typename T> T* find(const char* key)
{
    AcRxDictionary* registry = acrxSysRegistry();
    return registry ? static_cast<T*>(registry->at(key)) : nullptr;
}

void invoke()
{
    switch (acedGetFunCode()) {
    case 0:
        acedRetList(acedGetArgs());
        break;
    case 1:
        acedRetVoid();
        break;
    case 2:
        break;
    case 3:
        acedRetStr("probe \"text\"");
        break;
    case 4: {
        // An RTLB without its RTLE, then a stray RTLE.
        resbuf* a = acutNewRb(RTLB);
        resbuf* b = acutNewRb(RTSHORT);
        b->resval.rint = 7;
        a->rbnext = b;
        acedRetList(a);
        acutRelRb(a);
        break;
    }
    default:
        acutPrintf("probe: unknown code %d\n", acedGetFunCode());
    }
}

} // namespace

PROBE_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId)
{
    if (msg != AcRx::kInvkSubrMsg) acutPrintf("[probe message %d]\n", static_cast<int>(msg));
    switch (msg) {
    case AcRx::kInitAppMsg:
#ifndef PROBE_LOCKED
        if (auto* linker = find<AcRxDynamicLinker>("DynamicLinker")) linker->unlockApplication(appId);
#endif
        if (auto* stack = find<AcEdCommandStack>("ACAD_REGISTERED_COMMANDS"))
            stack->addCommand("PROBEGROUP", "PROBE", "PROBE", 0, probeCommand, nullptr, -1, nullptr, nullptr);
        break;
    case AcRx::kLoadDwgMsg:
        for (short i = 0; i < 5; ++i)
            acedDefun(NAMES[i], i);
        break;
    case AcRx::kUnloadDwgMsg:
        for (short i = 0; i < 5; ++i)
            acedUndef(NAMES[i], i);
        break;
    case AcRx::kUnloadAppMsg:
        if (auto* stack = find<AcEdCommandStack>("ACAD_REGISTERED_COMMANDS"))
            stack->removeGroup("PROBEGROUP");
        break;
    case AcRx::kInvkSubrMsg:
        invoke();
        break;
    default:
        break;
    }
    return AcRx::kRetOK;
}

PROBE_EXPORT int acrxGetApiVersion()
{
    return PROBE_API_VERSION;
}
