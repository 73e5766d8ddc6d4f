// ApplicationModule: message dispatch, initialisation and unload, function
// definition per drawing and invocation by function code.
#include "host/application_module.h"

#include "host/arx/aced.h"
#include "host/banner.h"
#include "host/handlers.h"
#include "host/position_table.h"

#include <cstdio>

namespace qorvan::host {

ApplicationModule& theModule()
{
    static ApplicationModule module;
    return module;
}

namespace {

    typedef void (ApplicationModule::*Slot)();

    // The virtual operations in slot order; calling through these member
    // pointers dispatches virtually.
    constexpr Slot SLOTS[] = {
        &ApplicationModule::defineFunctions,
        &ApplicationModule::invokeFunction,
        &ApplicationModule::undefineFunctions,
        &ApplicationModule::onNullMessage,
        &ApplicationModule::onInitApp,
        &ApplicationModule::onUnloadApp,
        &ApplicationModule::onLoadDrawing,
        &ApplicationModule::onUnloadDrawing,
        &ApplicationModule::onInvoke,
        &ApplicationModule::onConfigure,
        &ApplicationModule::onEnd,
        &ApplicationModule::onQuit,
        &ApplicationModule::onSave,
        &ApplicationModule::onDependency,
        &ApplicationModule::onNoDependency,
        &ApplicationModule::onOleUnloadApp,
        &ApplicationModule::onPreQuit,
    };
    static_assert(sizeof SLOTS / sizeof SLOTS[0] == AcRx::APP_MSG_COUNT + 3);

    struct TableRow {
        const char* name;
        Handler handler;
        FunctionKind kind;
    };

    constexpr TableRow TABLE[] = {
        { "slb-append", slbAppend, LispFunction },
        { "slb-delete", slbDelete, LispFunction },
        { "slb-error", slbError, LispFunction },
        { "slb-explode", slbExplode, LispFunction },
        { "slb-extract", slbExtract, LispFunction },
        { "slb-list", slbList, LispFunction },
        { "slb-replace", slbReplace, LispFunction },
        { "slb-remove", slbRemove, LispFunction },
        { "slb-view", slbView, LispFunction },
        { "QORVAN", qorvanCommand, Command },
    };

} // namespace

std::int32_t ApplicationModule::dispatchMessage(std::int32_t msg, void* packet)
{
    message = msg;
    result = 0;
    if (msg == AcRx::kNullMsg) {
        onNullMessage();
    } else if (msg == AcRx::kInitAppMsg) {
        if (AcRxDynamicLinker* linker = dynamicLinker()) linker->unlockApplication(packet);
        if (AcRxDynamicLinker* linker = dynamicLinker()) linker->registerAppMDIAware(packet);
        onInitApp();
    } else if (msg >= AcRx::kUnloadAppMsg && msg < AcRx::APP_MSG_COUNT) {
        (this->*SLOTS[msg + 3])();
    }
    return result;
}

void ApplicationModule::setGroupName(const char* text)
{
    std::snprintf(groupName_, sizeof groupName_, "%s", text);
}

void ApplicationModule::onInitApp()
{
    for (const TableRow& row : TABLE)
        functions.addFunction(row.name, row.handler, row.kind);
    setGroupName(GROUP_NAME);
    registerCommands();
}

void ApplicationModule::registerCommands()
{
    loadPositions(positionTable(), POSITION_FILE_BASE);
    printToolkitBanner(acedPrompt);
    for (std::int32_t i = 0; i < functions.functionCount(); ++i) {
        const FunctionEntry& entry = functions.functionAt(i);
        if (entry.kind != Command) continue;
        if (AcEdCommandStack* stack = commandStack())
            stack->addCommand(groupName_, entry.name, entry.name, ACRX_CMD::kModal, entry.handler, nullptr,
                -1, nullptr, nullptr);
    }
}

void ApplicationModule::onUnloadApp()
{
    savePositions(positionTable(), POSITION_FILE_BASE);
    if (AcEdCommandStack* stack = commandStack()) stack->removeGroup(groupName_);
}

void ApplicationModule::defineFunctions()
{
    for (std::int32_t i = 0; i < functions.functionCount(); ++i) {
        const FunctionEntry& entry = functions.functionAt(i);
        if (acedDefun(entry.name, static_cast<short>(i)) != RTNORM) {
            acutPrintf(DEFINE_FAILED_FORMAT, entry.name);
            return;
        }
    }
}

void ApplicationModule::undefineFunctions()
{
    for (std::int32_t i = 0; i < functions.functionCount(); ++i)
        acedUndef(functions.functionAt(i).name, static_cast<short>(i));
}

void ApplicationModule::invokeFunction()
{
    const int code = acedGetFunCode();
    if (code < 0 || code >= functions.functionCount()) {
        acutPrintf("%s", UNKNOWN_SUBROUTINE);
        return;
    }
    const FunctionEntry& entry = functions.functionAt(code);
    if (entry.kind == Command) {
        printToolkitBanner(acedPrompt);
        guarded(entry.handler);
        acedRetVoid();
        return;
    }
    if (guarded(entry.handler) != RTNORM) acedRetNil();
}

AcRxClass* ApplicationModule::classNamed(const char* name)
{
    AcRxDictionary* registry = acrxSysRegistry();
    if (!registry) return nullptr;
    AcRxObject* classes = registry->at(ACRX_CLASS_DICTIONARY);
    if (!classes) return nullptr;
    // The class dictionary is the registry's own; its entries are classes.
    AcRxObject* found = static_cast<AcRxDictionary*>(classes)->at(name);
    return static_cast<AcRxClass*>(found);
}

AcEdCommandStack* ApplicationModule::commandStack()
{
    if (!commandStackClass_) commandStackClass_ = classNamed(ACED_COMMAND_STACK_CLASS);
    AcRxDictionary* registry = acrxSysRegistry();
    if (!commandStackClass_ || !registry) return nullptr;
    AcRxObject* object = registry->at(ACRX_COMMAND_DOCK);
    if (!object || !object->isA() || !object->isA()->isDerivedFrom(commandStackClass_)) return nullptr;
    return static_cast<AcEdCommandStack*>(object);
}

AcRxDynamicLinker* ApplicationModule::dynamicLinker()
{
    AcRxDictionary* registry = acrxSysRegistry();
    if (!registry) return nullptr;
    AcRxObject* object = registry->at(ACRX_DYNAMIC_LINKER);
    AcRxClass* expected = classNamed(ACRX_DYNAMIC_LINKER_CLASS);
    if (!object || !expected || !object->isA() || !object->isA()->isDerivedFrom(expected)) return nullptr;
    return static_cast<AcRxDynamicLinker*>(object);
}

} // namespace qorvan::host
