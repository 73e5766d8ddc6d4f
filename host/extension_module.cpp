// ExtensionModule and ResourceSwitch over a module-wide resource source.
#include "host/extension_module.h"

#include "host/arx/aced.h"

namespace qorvan::host {

namespace {
    AFX_MODULE_STATE moduleState {};
    ExtensionModule extension {};
    HINSTANCE instanceHandle = nullptr;
} // namespace

AFX_MODULE_STATE* AfxGetModuleState()
{
    return &moduleState;
}

bool AfxInitExtensionModule(AFX_EXTENSION_MODULE& module, HINSTANCE instance)
{
    module.hModule = instance;
    module.hResource = instance;
    module.bInitialized = instance != nullptr;
    return module.bInitialized;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& module, bool)
{
    module.bInitialized = false;
}

ExtensionModule& extensionModule()
{
    return extension;
}
HINSTANCE moduleInstance()
{
    return instanceHandle;
}

void processAttach(HINSTANCE instance)
{
    instanceHandle = instance;
    if (!extension.attached) {
        extension.attached = AfxInitExtensionModule(extension.module, instance);
        if (extension.attached) {
            extension.resourceAtAttach = moduleState.m_hCurrentResourceHandle;
            extension.instance = instance;
        }
    }
    InitAcUiDLL();
}

void processDetach()
{
    if (extension.attached) {
        AfxTermExtensionModule(extension.module, false);
        extension.attached = false;
    }
}

ResourceSwitch::ResourceSwitch()
    : saved_(AfxGetModuleState()->m_hCurrentResourceHandle)
{
    AfxGetModuleState()->m_hCurrentResourceHandle = instanceHandle;
}

ResourceSwitch::~ResourceSwitch()
{
    AfxGetModuleState()->m_hCurrentResourceHandle = saved_;
}

} // namespace qorvan::host
