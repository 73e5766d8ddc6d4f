// The object model behind acrxSysRegistry(): the system dictionary, its class
// dictionary, the dynamic linker and the command stack.
#include "console/host_state.h"
#include "console/output.h"
#include "host/arx/aced.h"
#include "platform/path.h"

#include <map>
#include <string>

namespace qorvan::console {

namespace {

    class ConsoleClass : public AcRxClass {
    public:
        ConsoleClass(const char* name, AcRxClass* parent)
            : name_(name)
            , parent_(parent)
        {
        }
        AcRxClass* isA() const override;
        const char* name() const override { return name_; }
        AcRxClass* myParent() const override { return parent_; }

    private:
        const char* name_;
        AcRxClass* parent_;
    };

    ConsoleClass objectClass("AcRxObject", nullptr);
    ConsoleClass classClass("AcRxClass", &objectClass);
    ConsoleClass dictionaryClass("AcRxDictionary", &objectClass);
    ConsoleClass linkerClass(ACRX_DYNAMIC_LINKER_CLASS, &objectClass);
    ConsoleClass commandStackClass(ACED_COMMAND_STACK_CLASS, &objectClass);

    AcRxClass* ConsoleClass::isA() const
    {
        return &classClass;
    }

    class Dictionary : public AcRxDictionary {
    public:
        AcRxClass* isA() const override { return &dictionaryClass; }
        AcRxObject* at(const char* key) const override
        {
            if (!key) return nullptr;
            auto it = entries_.find(key);
            return it == entries_.end() ? nullptr : it->second;
        }
        void put(const char* key, AcRxObject* object) { entries_[key] = object; }

    private:
        std::map<std::string, AcRxObject*> entries_;
    };

    LoadedModule* moduleOf(void* appId)
    {
        for (LoadedModule& m : loadedModules())
            if (&m == appId) return &m;
        return nullptr;
    }

    class Linker : public AcRxDynamicLinker {
    public:
        AcRxClass* isA() const override { return &linkerClass; }
        bool unlockApplication(void* appId) const override
        {
            LoadedModule* m = moduleOf(appId);
            if (!m) return false;
            m->locked = false;
            return true;
        }
        bool registerAppMDIAware(void* appId) const override
        {
            LoadedModule* m = moduleOf(appId);
            if (!m) return false;
            m->mdiAware = true;
            return true;
        }
    };

    std::string upper(const char* text)
    {
        return platform::toUpperAscii(text ? text : "");
    }

    class CommandStack : public AcEdCommandStack {
    public:
        AcRxClass* isA() const override { return &commandStackClass; }

        AcadErrorStatus addCommand(const char* groupName, const char* globalName, const char* localName, int,
            AcRxFunctionPtr handler, AcEdUIContext*, int, HINSTANCE, AcEdCommand**) override
        {
            if (!groupName || !globalName || !*globalName || !handler) return AcadErrorStatus::eInvalidInput;
            const std::string global = upper(globalName);
            for (const RegisteredCommand& c : commands())
                if (c.globalName == global) return AcadErrorStatus::eDuplicateKey;
            commands().push_back(RegisteredCommand {
                groupName, global, upper(localName ? localName : globalName), handler, currentModule() });
            return AcadErrorStatus::eOk;
        }

        AcadErrorStatus removeGroup(const char* groupName) override
        {
            if (!groupName) return AcadErrorStatus::eInvalidInput;
            auto& list = commands();
            const auto before = list.size();
            std::erase_if(list, [groupName](const RegisteredCommand& c) {
                return platform::equalsNoCase(c.group, groupName);
            });
            return list.size() == before ? AcadErrorStatus::eKeyNotFound : AcadErrorStatus::eOk;
        }
    };

    Dictionary& systemRegistry()
    {
        static Dictionary registry;
        static Dictionary classes;
        static Linker linker;
        static CommandStack stack;
        static bool filled = false;
        if (!filled) {
            filled = true;
            for (ConsoleClass* c :
                { &objectClass, &classClass, &dictionaryClass, &linkerClass, &commandStackClass })
                classes.put(c->name(), c);
            registry.put(ACRX_CLASS_DICTIONARY, &classes);
            registry.put(ACRX_DYNAMIC_LINKER, &linker);
            registry.put(ACRX_COMMAND_DOCK, &stack);
        }
        return registry;
    }

} // namespace

std::vector<RegisteredCommand>& commands()
{
    static std::vector<RegisteredCommand> list;
    return list;
}

bool runCommand(const std::string& name)
{
    const std::string wanted = platform::toUpperAscii(name);
    for (const RegisteredCommand& c : commands()) {
        if (c.globalName == wanted || c.localName == wanted) {
            // Copy the handler: the command may change the stack.
            const AcRxFunctionPtr handler = c.handler;
            try {
                handler();
            } catch (...) {
                output::error("command " + wanted + " failed");
            }
            return true;
        }
    }
    return false;
}

} // namespace qorvan::console

extern "C" AcRxDictionary* acrxSysRegistry()
{
    return &qorvan::console::systemRegistry();
}
