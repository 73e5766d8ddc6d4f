// The module's standing as an extension of the dialog framework, and the
// switch of the framework's current resource source to the module while one
// of its dialogs runs. Without the Windows framework the "resource handle" is
// the one module-wide value that the dialog code reads to find templates.
#pragma once

namespace qorvan::host {

typedef void* HINSTANCE;

// The framework's per-module state; only the resource source is kept.
struct AFX_MODULE_STATE {
    HINSTANCE m_hCurrentResourceHandle;
};

struct AFX_EXTENSION_MODULE {
    bool bInitialized;
    HINSTANCE hModule;
    HINSTANCE hResource;
};

struct ExtensionModule {
    bool attached;
    HINSTANCE resourceAtAttach;
    HINSTANCE instance;
    AFX_EXTENSION_MODULE module;
};

AFX_MODULE_STATE* AfxGetModuleState();
bool AfxInitExtensionModule(AFX_EXTENSION_MODULE& module, HINSTANCE instance);
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& module, bool all);

ExtensionModule& extensionModule();
// The instance handle recorded at process attach, which the switch selects.
HINSTANCE moduleInstance();

// Process attach and detach of the module image (run by the loader).
void processAttach(HINSTANCE instance);
void processDetach();

// Saves the current resource source and selects the module's own; the
// destructor restores the saved one on every path out of the scope.
class ResourceSwitch {
public:
    ResourceSwitch();
    virtual ~ResourceSwitch();
    ResourceSwitch(const ResourceSwitch&) = delete;
    ResourceSwitch& operator=(const ResourceSwitch&) = delete;

private:
    HINSTANCE saved_;
};

} // namespace qorvan::host
