// The scripted host of the module's unit tests.
#include "tests/host/fake_host.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qorvan::testing {

FakeHost& fakeHost()
{
    static FakeHost host;
    return host;
}

void FakeHost::reset()
{
    *this = FakeHost {};
}

namespace {

    bool isStringType(short t)
    {
        return t == RTSTR || (t >= 0 && t <= 9) || (t >= 300 && t <= 329);
    }

    class TestClass : public AcRxClass {
    public:
        TestClass(const char* n, AcRxClass* p)
            : name_(n)
            , parent_(p)
        {
        }
        AcRxClass* isA() const override { return nullptr; }
        const char* name() const override { return name_; }
        AcRxClass* myParent() const override { return parent_; }

    private:
        const char* name_;
        AcRxClass* parent_;
    };

    TestClass objectClass("AcRxObject", nullptr);
    TestClass stackClass("AcEdCommandStack", &objectClass);
    TestClass linkerClass("AcRxDynamicLinker", &objectClass);
    TestClass otherClass("Other", &objectClass);

    class Stack : public AcEdCommandStack {
    public:
        AcRxClass* isA() const override
        {
            return fakeHost().commandStackWrongClass ? &otherClass : &stackClass;
        }
        AcadErrorStatus addCommand(const char* group, const char* global, const char* local, int flags,
            AcRxFunctionPtr handler, AcEdUIContext* ui, int code, HINSTANCE res,
            AcEdCommand** created) override
        {
            char line[256];
            std::snprintf(line, sizeof line, "%s %s %s %d %s %s %d %s %s", group, global, local, flags,
                handler ? "handler" : "null", ui ? "ui" : "null", code, res ? "res" : "null",
                created ? "out" : "null");
            fakeHost().commandsAdded.push_back(line);
            return AcadErrorStatus::eOk;
        }
        AcadErrorStatus removeGroup(const char* group) override
        {
            fakeHost().groupsRemoved.push_back(group);
            return AcadErrorStatus::eOk;
        }
    };

    class Linker : public AcRxDynamicLinker {
    public:
        AcRxClass* isA() const override { return &linkerClass; }
        bool unlockApplication(void*) const override
        {
            ++fakeHost().unlockCalls;
            return true;
        }
        bool registerAppMDIAware(void*) const override
        {
            ++fakeHost().mdiCalls;
            return true;
        }
    };

    class Dict : public AcRxDictionary {
    public:
        AcRxClass* isA() const override { return nullptr; }
        AcRxObject* at(const char* key) const override;
    };

    class ClassDict : public AcRxDictionary {
    public:
        AcRxClass* isA() const override { return nullptr; }
        AcRxObject* at(const char* key) const override
        {
            if (std::strcmp(key, "AcEdCommandStack") == 0) return &stackClass;
            if (std::strcmp(key, "AcRxDynamicLinker") == 0) return &linkerClass;
            return nullptr;
        }
    };

    Stack stack;
    Linker linker;
    ClassDict classes;
    Dict registry;

    AcRxObject* Dict::at(const char* key) const
    {
        if (std::strcmp(key, "ClassDictionary") == 0) return &classes;
        if (std::strcmp(key, "DynamicLinker") == 0) return &linker;
        if (std::strcmp(key, "ACAD_REGISTERED_COMMANDS") == 0)
            return fakeHost().commandStackPresent ? &stack : nullptr;
        return nullptr;
    }

} // namespace

resbuf* makeChain(std::initializer_list<Node> nodes)
{
    resbuf* head = nullptr;
    resbuf** link = &head;
    for (const Node& n : nodes) {
        auto* rb = static_cast<resbuf*>(std::calloc(1, sizeof(resbuf)));
        rb->restype = n.type;
        if (isStringType(n.type)) {
            rb->resval.rstring = static_cast<char*>(std::malloc(n.text.size() + 1));
            std::memcpy(rb->resval.rstring, n.text.c_str(), n.text.size() + 1);
        } else if (n.type == RTREAL) {
            rb->resval.rreal = n.real;
        } else {
            rb->resval.rint = n.value;
        }
        *link = rb;
        link = &rb->rbnext;
    }
    return head;
}

void freeChain(resbuf* chain)
{
    while (chain) {
        resbuf* next = chain->rbnext;
        if (isStringType(chain->restype)) std::free(chain->resval.rstring);
        std::free(chain);
        chain = next;
    }
}

} // namespace qorvan::testing

using qorvan::testing::fakeHost;

extern "C" {

int acedDefun(const char* name, short code)
{
    auto& h = fakeHost();
    if (h.defunCalls++ == h.defunFailsAt) return RTERROR;
    h.defined.push_back(name);
    h.definedCodes.push_back(code);
    return RTNORM;
}

int acedUndef(const char* name, short)
{
    fakeHost().undefined.push_back(name);
    return RTNORM;
}

int acedGetFunCode()
{
    return fakeHost().funCode;
}
struct resbuf* acedGetArgs()
{
    return fakeHost().args;
}

int acedRetNil()
{
    fakeHost().ret = qorvan::testing::FakeHost::Ret::Nil;
    return RTNORM;
}

int acedRetVoid()
{
    fakeHost().ret = qorvan::testing::FakeHost::Ret::Void;
    return RTNORM;
}

int acedRetT()
{
    return RTNORM;
}

int acedRetStr(const char* text)
{
    fakeHost().ret = qorvan::testing::FakeHost::Ret::Str;
    fakeHost().retStr = text;
    return RTNORM;
}

int acedRetList(const struct resbuf* chain)
{
    auto& h = fakeHost();
    h.ret = qorvan::testing::FakeHost::Ret::List;
    h.retList.clear();
    h.retTypes.clear();
    for (const resbuf* p = chain; p; p = p->rbnext) {
        h.retTypes.push_back(p->restype);
        h.retList.push_back(p->restype == RTSTR && p->resval.rstring ? p->resval.rstring : "");
    }
    return RTNORM;
}

struct resbuf* acutNewRb(int type)
{
    auto& h = fakeHost();
    if (h.newRbCalls++ == h.newRbFailsAt) return nullptr;
    auto* rb = static_cast<resbuf*>(std::calloc(1, sizeof(resbuf)));
    rb->restype = static_cast<short>(type);
    ++h.liveNodes;
    return rb;
}

int acutRelRb(struct resbuf* chain)
{
    while (chain) {
        resbuf* next = chain->rbnext;
        if (chain->restype == RTSTR) std::free(chain->resval.rstring);
        std::free(chain);
        --fakeHost().liveNodes;
        chain = next;
    }
    return RTNORM;
}

int acutPrintf(const char* format, ...)
{
    char buf[4096];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    fakeHost().printed += buf;
    return n;
}

int acedPrompt(const char* text)
{
    fakeHost().printed += text;
    fakeHost().prompted += text;
    return RTNORM;
}

HWND adsw_acadMainWnd()
{
    return nullptr;
}
void InitAcUiDLL()
{
}
AcRxDictionary* acrxSysRegistry()
{
    return fakeHost().registryPresent ? &qorvan::testing::registry : nullptr;
}
}
