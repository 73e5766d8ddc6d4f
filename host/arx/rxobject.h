// The small part of the host's object model a module uses: the system
// registry (a dictionary of named objects), class descriptors that answer
// "is derived from", the dynamic linker and the command stack. A module only
// calls through these interfaces; the host provides the objects.
#pragma once

class AcRxClass;

class AcRxObject {
public:
    virtual ~AcRxObject() = default;
    virtual AcRxClass* isA() const = 0;
};

class AcRxClass : public AcRxObject {
public:
    virtual const char* name() const = 0;
    virtual AcRxClass* myParent() const = 0;
    // True when this class is cls or derives from it.
    bool isDerivedFrom(const AcRxClass* cls) const
    {
        for (const AcRxClass* c = this; c; c = c->myParent())
            if (c == cls) return true;
        return false;
    }
};

class AcRxDictionary : public AcRxObject {
public:
    // The object stored under key, or null.
    virtual AcRxObject* at(const char* key) const = 0;
};

class AcRxDynamicLinker : public AcRxObject {
public:
    // Lets the host unload the module named by appId while it runs.
    virtual bool unlockApplication(void* appId) const = 0;
    // Declares that the module serves every open drawing.
    virtual bool registerAppMDIAware(void* appId) const = 0;
};

class AcEdUIContext;
class AcEdCommand;
typedef void* HINSTANCE;

// A command handler. The host calls it without arguments and ignores what it
// returns; the module's handlers return a result code, so the host calls them
// through this type rather than through a mismatched pointer.
typedef int (*AcRxFunctionPtr)();

namespace ACRX_CMD {
inline constexpr int kModal = 0;
}

enum class AcadErrorStatus : int {
    eOk = 0,
    eKeyNotFound = 3,
    eDuplicateKey = 51,
    eInvalidInput = 5,
};

class AcEdCommandStack : public AcRxObject {
public:
    virtual AcadErrorStatus addCommand(const char* groupName, const char* globalName, const char* localName,
        int flags, AcRxFunctionPtr handler, AcEdUIContext* uiContext, int functionCode,
        HINSTANCE resourceHandle, AcEdCommand** created)
        = 0;
    virtual AcadErrorStatus removeGroup(const char* groupName) = 0;
};

// Keys of the system registry.
inline constexpr const char ACRX_DYNAMIC_LINKER[] = "DynamicLinker";
inline constexpr const char ACRX_COMMAND_DOCK[] = "ACAD_REGISTERED_COMMANDS";
inline constexpr const char ACRX_CLASS_DICTIONARY[] = "ClassDictionary";
inline constexpr const char ACED_COMMAND_STACK_CLASS[] = "AcEdCommandStack";
inline constexpr const char ACRX_DYNAMIC_LINKER_CLASS[] = "AcRxDynamicLinker";
