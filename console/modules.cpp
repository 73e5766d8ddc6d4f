// Loading and unloading modules: dlopen, the version handshake and the
// application messages, and the clean-up that keeps no name or command
// pointing into a module that is gone.
#include "console/host_state.h"

#include "platform/cleanup.h"
#include "platform/path.h"

#include <cstdio>
#include <dlfcn.h>

namespace qorvan::console {

namespace {

    LoadedModule* messaged = nullptr;

    void send(LoadedModule& m, AcRx::AppMsgCode msg)
    {
        LoadedModule* saved = messaged;
        messaged = &m;
        m.entry(msg, &m);
        messaged = saved;
    }

    std::string fileNameOf(const std::string& path)
    {
        const std::size_t slash = path.find_last_of('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }

    std::string stem(const std::string& name)
    {
        const std::size_t dot = name.find_last_of('.');
        return dot == std::string::npos ? name : name.substr(0, dot);
    }

    // Whatever of the module's is still registered is dropped, so nothing can
    // call into its code after dlclose.
    void forget(LoadedModule& m)
    {
        std::erase_if(commands(), [&m](const RegisteredCommand& c) { return c.module == &m; });
        forgetModuleFunctions(&m);
    }

} // namespace

std::list<LoadedModule>& loadedModules()
{
    static std::list<LoadedModule> modules;
    return modules;
}

LoadedModule* currentModule()
{
    return messaged;
}

bool isLoaded(const LoadedModule* module)
{
    for (const LoadedModule& m : loadedModules())
        if (&m == module) return true;
    return false;
}

bool loadModule(const std::string& nativePath, std::string& reason)
{
    for (const LoadedModule& m : loadedModules()) {
        if (m.path == nativePath) {
            reason = m.name + ": already loaded";
            return false;
        }
    }
    void* handle = dlopen(nativePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        reason = why ? why : (nativePath + ": cannot be loaded");
        return false;
    }
    auto version = reinterpret_cast<AcRxGetApiVersionFn>(dlsym(handle, ACRX_GET_API_VERSION));
    auto entry = reinterpret_cast<AcRxEntryPointFn>(dlsym(handle, ACRX_ENTRY_POINT));
    if (!version || !entry) {
        dlclose(handle);
        reason = nativePath + ": not a module (no acrxGetApiVersion or acrxEntryPoint)";
        return false;
    }
    const int api = version();
    if (api != ACRX_API_VERSION_R15) {
        dlclose(handle);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(api));
        reason = nativePath + ": API version " + hex + " is not release 15 (0xF0000)";
        return false;
    }
    LoadedModule& m = loadedModules().emplace_back();
    m.path = nativePath;
    m.name = fileNameOf(nativePath);
    m.handle = handle;
    m.entry = entry;
    // A module that writes files may leave temporaries when the session dies
    // of a signal; its own table of them is reached through this.
    m.removeTemporaries = reinterpret_cast<void (*)()>(dlsym(handle, "qorvanRemoveTemporaries"));
    if (m.removeTemporaries && !platform::addSignalCleanup(m.removeTemporaries))
        m.removeTemporaries = nullptr;
    send(m, AcRx::kInitAppMsg);
    send(m, AcRx::kLoadDwgMsg);
    return true;
}

bool unloadModule(LoadedModule& m, std::string& reason)
{
    if (m.locked) {
        reason = m.name + ": the application is locked and cannot be unloaded";
        return false;
    }
    send(m, AcRx::kUnloadDwgMsg);
    send(m, AcRx::kUnloadAppMsg);
    forget(m);
    if (m.removeTemporaries) platform::removeSignalCleanup(m.removeTemporaries);
    dlclose(m.handle);
    loadedModules().remove_if([&m](const LoadedModule& x) { return &x == &m; });
    return true;
}

void unloadAllModules()
{
    auto& modules = loadedModules();
    while (!modules.empty()) {
        LoadedModule& m = modules.back();
        // At the end of the session a locked module is unloaded too.
        m.locked = false;
        std::string reason;
        unloadModule(m, reason);
    }
}

LoadedModule* findModule(const std::string& text)
{
    for (LoadedModule& m : loadedModules()) {
        if (m.path == text || platform::equalsNoCase(m.name, text)
            || platform::equalsNoCase(stem(m.name), text)
            || platform::equalsNoCase(stem(m.name), fileNameOf(text))
            || platform::equalsNoCase(m.name, fileNameOf(text)))
            return &m;
    }
    return nullptr;
}

} // namespace qorvan::console
