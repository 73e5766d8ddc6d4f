// ResourceSwitch over the module-wide resource source, and the extension
// module's attach and detach.
#include "host/extension_module.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace qorvan::host;

namespace {

int instanceStandIn;

TEST(ExtensionModule, AttachRecordsTheInstanceOnceAndDetachEnds)
{
    processAttach(&instanceStandIn);
    EXPECT_TRUE(extensionModule().attached);
    EXPECT_EQ(extensionModule().instance, &instanceStandIn);
    EXPECT_EQ(moduleInstance(), &instanceStandIn);
    processDetach();
    EXPECT_FALSE(extensionModule().attached);
}

TEST(ResourceSwitch, SelectsTheModuleAndRestoresOnEveryPath)
{
    processAttach(&instanceStandIn);
    int hostResources;
    AfxGetModuleState()->m_hCurrentResourceHandle = &hostResources;
    {
        ResourceSwitch outer;
        EXPECT_EQ(AfxGetModuleState()->m_hCurrentResourceHandle, &instanceStandIn);
        {
            ResourceSwitch inner;
            EXPECT_EQ(AfxGetModuleState()->m_hCurrentResourceHandle, &instanceStandIn);
        }
        EXPECT_EQ(AfxGetModuleState()->m_hCurrentResourceHandle, &instanceStandIn);
    }
    EXPECT_EQ(AfxGetModuleState()->m_hCurrentResourceHandle, &hostResources);
    try {
        ResourceSwitch guard;
        throw std::runtime_error("dialog failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(AfxGetModuleState()->m_hCurrentResourceHandle, &hostResources);
    processDetach();
}

} // namespace
