// The ten handlers of the function table. Each runs without arguments (it
// reads them from the host), sets the function's value itself and returns
// RTNORM, or returns another code so that the caller makes the value nil.
// None lets a C++ exception out.
#pragma once

#include "host/arx/adsdef.h"

namespace qorvan::host {

int slbAppend();
int slbDelete();
int slbError();
int slbExplode();
int slbExtract();
int slbList();
int slbReplace();
int slbRemove();
int slbView();
int qorvanCommand();

// The library's slide names as a chain of RTSTR nodes in directory order,
// null when there are none. Sets ok to false (and the status to NoMemory)
// when the chain could not be built; nothing is then left allocated.
resbuf* slideNameList(const char* library, bool& ok);
// Sets the function's value to the library's name list and releases the
// chain once the host has copied it.
void returnSlideList(const char* library);

// Runs body, turning an escaping exception into a failure (memory shortage
// is also recorded as NoMemory), so no exception reaches the host.
int guarded(int (*body)()) noexcept;

} // namespace qorvan::host
