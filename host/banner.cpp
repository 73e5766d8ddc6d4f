// The toolkit and module banners.
#include "host/banner.h"

#include "host/arx/aced.h"
#include "store/status.h"

#include <cstdio>

namespace qorvan::host {

void printToolkitBanner(PrintFunction print)
{
    char dated[64];
    std::snprintf(dated, sizeof dated, TOOLKIT_DATE_FORMAT, TOOLKIT_DATE, TOOLKIT_TIME);
    print(TOOLKIT_CREDIT_1);
    print(TOOLKIT_CREDIT_2);
    print(dated);
    print("\n");
}

void printModuleBanner()
{
    acutPrintf("%s", MODULE_TITLE);
    acutPrintf("%s%s\n", MODULE_VERSION, MODULE_AUTHOR);
    setStatus(Ok, nullptr, nullptr);
}

} // namespace qorvan::host
