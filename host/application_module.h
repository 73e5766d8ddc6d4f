// ApplicationModule: the module's one application object. It answers the
// host's application messages, defines and undefines the function table's
// names per drawing, runs the handler of an invoked function code, and
// registers the command group "Qorvan".
#pragma once

#include "host/arx/adsdef.h"
#include "host/arx/rxmsg.h"
#include "host/function_table.h"
#include "host/messages.h"

#include <cstdint>

class AcEdCommandStack;
class AcRxClass;
class AcRxDynamicLinker;

namespace qorvan::host {

inline constexpr const char GROUP_NAME[] = "Qorvan";

class ApplicationModule {
public:
    ApplicationModule() = default;
    virtual ~ApplicationModule() { functions.clearFunctions(); }
    ApplicationModule(const ApplicationModule&) = delete;
    ApplicationModule& operator=(const ApplicationModule&) = delete;

    // Virtual slots in the host's order: message n is handled by slot n + 3.
    virtual void defineFunctions();
    virtual void invokeFunction();
    virtual void undefineFunctions();
    virtual void onNullMessage() { }
    virtual void onInitApp();
    virtual void onUnloadApp();
    virtual void onLoadDrawing() { defineFunctions(); }
    virtual void onUnloadDrawing() { undefineFunctions(); }
    virtual void onInvoke() { invokeFunction(); }
    virtual void onConfigure() { }
    virtual void onEnd() { }
    virtual void onQuit() { }
    virtual void onSave() { }
    virtual void onDependency() { }
    virtual void onNoDependency() { }
    virtual void onOleUnloadApp() { }
    virtual void onPreQuit() { }

    // Answers one message; the result is always 0.
    std::int32_t dispatchMessage(std::int32_t msg, void* packet);
    void setGroupName(const char* text);
    void registerCommands();

    const char* groupName() const { return groupName_; }

    FunctionTable functions;
    std::int32_t message = 0;
    std::int32_t result = 0;

private:
    AcEdCommandStack* commandStack();
    AcRxDynamicLinker* dynamicLinker();
    AcRxClass* classNamed(const char* name);

    char groupName_[64] = {};
    // Taken once from the registry's class dictionary, kept for the module's
    // life.
    AcRxClass* commandStackClass_ = nullptr;
};

// The module's one instance.
ApplicationModule& theModule();

} // namespace qorvan::host
