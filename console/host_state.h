// The console's side of the host interface: the modules it has loaded, the
// names they defined, the command stack, and the one function invocation in
// progress. The exported host functions (host_api.cpp) act on this state.
#pragma once

#include "console/value.h"
#include "host/arx/rxmsg.h"
#include "host/arx/rxobject.h"

#include <list>
#include <string>
#include <vector>

struct resbuf;

namespace qorvan::console {

struct LoadedModule {
    std::string path; // as found on disk
    std::string name; // file name, for messages and arxunload
    void* handle = nullptr;
    AcRxEntryPointFn entry = nullptr;
    void (*removeTemporaries)() = nullptr; // the module's own clean-up on a signal, when it has one
    bool locked = true; // until the module calls unlockApplication
    bool mdiAware = false;
};

struct RegisteredCommand {
    std::string group;
    std::string globalName; // upper case
    std::string localName; // upper case
    AcRxFunctionPtr handler = nullptr;
    LoadedModule* module = nullptr;
};

// Loads a module: dlopen, the version handshake, then the initialisation and
// drawing-load messages. False with a reason when it cannot be loaded.
bool loadModule(const std::string& nativePath, std::string& reason);
// Sends the drawing-unload and unload messages and closes the module. False
// with a reason when it refuses (a module that did not unlock itself).
bool unloadModule(LoadedModule& module, std::string& reason);
// The module file a name stands for: as written (".arx" added when there is
// no extension), then, for a bare name, as moduleBesideProgram finds it.
// Empty when there is none.
std::string findModuleFile(const std::string& name);
// The module file named file beside the console's executable (a build
// tree), else in the folder an installation puts modules in; empty when
// neither holds it.
std::string moduleBesideProgram(const std::string& file);

// Unloads every module, the last loaded first.
void unloadAllModules();
std::list<LoadedModule>& loadedModules();
// The loaded module named by text: its path or its file name, with or
// without extension, ignoring ASCII case; null when none.
LoadedModule* findModule(const std::string& text);

// Runs a registered command by global or local name (ASCII case ignored);
// false when no such command exists.
bool runCommand(const std::string& name);
std::vector<RegisteredCommand>& commands();

// Calls a module-defined AutoLISP function: converts the arguments to a
// host-owned chain, sends the invoke message and returns the value the
// module set (nil when it set none).
Value invokeModuleFunction(const Function& f, const std::vector<Value>& args);

// Clears every AutoLISP name that module defined (before it is closed).
void forgetModuleFunctions(const LoadedModule* module);
bool isLoaded(const LoadedModule* module);

// The main window the console registered for the dialogs; none yet.
void setMainWindow(void* window);
void* mainWindow();

// The module being sent a message, to which acedDefun and addCommand belong.
LoadedModule* currentModule();

} // namespace qorvan::console
