// The host functions the console exports to its modules: function definition
// and invocation, arguments and results, nodes, the command line, the main
// window. They are found by the modules' dynamic linking, so they keep C
// linkage and are exported from the executable.
#include "console/convert.h"
#include "console/host_state.h"
#include "console/interpreter.h"
#include "console/output.h"
#include "host/arx/aced.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace qorvan::console {

namespace {

    // The invocation in progress: its code, its argument chain and the value the
    // module set. Saved and restored around nested invocations.
    struct Invocation {
        int code = -1;
        resbuf* args = nullptr;
        Value value;
    };

    Invocation current;
    void* mainWindowHandle = nullptr;
    // Every symbol a module has defined, so that unloading can clear them.
    std::vector<Symbol*> moduleSymbols;
    bool uiReady = false;

    // A symbol a module may define: non-empty and free of the reader's
    // delimiters, so that AutoLISP can call it.
    bool validFunctionName(const char* name)
    {
        if (!name || !*name) return false;
        for (const char* p = name; *p; ++p)
            if (*p == ' ' || *p == '\t' || *p == '\n' || *p == '(' || *p == ')' || *p == '"' || *p == '\''
                || *p == ';')
                return false;
        return true;
    }

} // namespace

Value invokeModuleFunction(const Function& f, const std::vector<Value>& args)
{
    LoadedModule* module = f.module;
    if (!isLoaded(module)) throw LispError("no function definition: " + f.name);
    Invocation saved = std::move(current);
    current = Invocation {};
    current.code = f.code;
    try {
        current.args = toChain(args);
    } catch (...) {
        current = std::move(saved);
        throw;
    }
    module->entry(AcRx::kInvkSubrMsg, module);
    releaseChain(current.args);
    Value value = std::move(current.value);
    current = std::move(saved);
    return value;
}

void forgetModuleFunctions(const LoadedModule* module)
{
    for (Symbol* s : moduleSymbols)
        if (s->value.isFunction() && s->value.asFunction().kind == Function::Kind::Module
            && s->value.asFunction().module == module)
            s->value = Value();
}

void setMainWindow(void* window)
{
    mainWindowHandle = window;
}
void* mainWindow()
{
    return mainWindowHandle;
}

} // namespace qorvan::console

using namespace qorvan::console;

extern "C" {

int acedDefun(const char* name, short functionCode)
{
    LoadedModule* module = currentModule();
    if (!module || !validFunctionName(name)) return RTERROR;
    auto f = std::make_shared<Function>();
    f->kind = Function::Kind::Module;
    f->name = intern(name)->name;
    f->module = module;
    f->code = functionCode;
    Symbol* s = intern(name);
    s->value = Value::function(std::move(f));
    if (std::find(moduleSymbols.begin(), moduleSymbols.end(), s) == moduleSymbols.end())
        moduleSymbols.push_back(s);
    return RTNORM;
}

int acedUndef(const char* name, short functionCode)
{
    if (!name) return RTERROR;
    Symbol* s = intern(name);
    if (!s->value.isFunction()) return RTERROR;
    const Function& f = s->value.asFunction();
    if (f.kind != Function::Kind::Module || f.module != currentModule() || f.code != functionCode)
        return RTERROR;
    s->value = Value();
    return RTNORM;
}

int acedGetFunCode()
{
    return current.code;
}

struct resbuf* acedGetArgs()
{
    return current.args;
}

int acedRetNil()
{
    current.value = Value();
    return RTNORM;
}

int acedRetVoid()
{
    current.value = Value::voidValue();
    return RTNORM;
}

int acedRetT()
{
    current.value = Value::t();
    return RTNORM;
}

int acedRetStr(const char* text)
{
    current.value = Value::string(text ? text : "");
    return RTNORM;
}

int acedRetList(const struct resbuf* chain)
{
    current.value = fromChain(chain);
    return RTNORM;
}

struct resbuf* acutNewRb(int type)
{
    return newNode(type);
}

int acutRelRb(struct resbuf* chain)
{
    releaseChain(chain);
    return RTNORM;
}

int acutPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n > 0) {
        std::string text(static_cast<std::size_t>(n), '\0');
        std::vsnprintf(text.data(), text.size() + 1, format, args);
        output::write(text);
    }
    va_end(args);
    return n;
}

int acedPrompt(const char* text)
{
    if (text) output::write(text);
    return RTNORM;
}

HWND adsw_acadMainWnd()
{
    return mainWindow();
}

void InitAcUiDLL()
{
    uiReady = true;
}

} // extern "C"
