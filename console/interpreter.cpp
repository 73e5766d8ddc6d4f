// Evaluation, application with dynamic scoping, and loading of text.
#include "console/interpreter.h"

#include "console/help.h"
#include "console/host_state.h"
#include "console/interrupt.h"
#include "console/printer.h"
#include "console/reader.h"

#include <fstream>
#include <iterator>

namespace qorvan::console {

namespace {

    class DepthGuard {
    public:
        explicit DepthGuard(int& depth)
            : depth_(depth)
        {
            if (++depth_ > EVAL_DEPTH_LIMIT) {
                --depth_;
                throw LispError("internal stack limit reached");
            }
        }
        ~DepthGuard() { --depth_; }
        DepthGuard(const DepthGuard&) = delete;
        DepthGuard& operator=(const DepthGuard&) = delete;

    private:
        int& depth_;
    };

    // Binds a function's parameters and locals for one call and restores the
    // symbols' previous values on every way out, as AutoLISP's dynamic scope does.
    class Bindings {
    public:
        ~Bindings()
        {
            for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
                it->first->value = std::move(it->second);
        }
        void bind(Symbol* s, Value v)
        {
            saved_.emplace_back(s, s->value);
            s->value = std::move(v);
        }

    private:
        std::vector<std::pair<Symbol*, Value>> saved_;
    };

} // namespace

Interpreter::Interpreter()
{
    installSpecialForms(*this);
    installCoreBuiltins(*this);
    installHostBuiltins(*this);
    installHelp(*this);
}

void Interpreter::define(const char* name, Value (*fn)(Interpreter&, const std::vector<Value>&))
{
    auto f = std::make_shared<Function>();
    f->kind = Function::Kind::Builtin;
    f->name = intern(name)->name;
    f->builtin = fn;
    intern(name)->value = Value::function(std::move(f));
}

void Interpreter::defineSpecial(const char* name, Value (*fn)(Interpreter&, const Value&))
{
    auto f = std::make_shared<Function>();
    f->kind = Function::Kind::Special;
    f->name = intern(name)->name;
    f->special = fn;
    intern(name)->value = Value::function(std::move(f));
}

Value Interpreter::eval(const Value& form)
{
    if (form.isSymbol()) {
        if (form.isT()) return form;
        return form.asSymbol()->value;
    }
    if (!form.isCons()) return form;
    // Every loop evaluates a form per turn, so this is where a long
    // evaluation notices Ctrl-C.
    if (interruptPending()) checkInterrupt();
    DepthGuard guard(depth_);
    const Value& head = form.car();
    Value fn;
    if (head.isSymbol()) {
        fn = head.asSymbol()->value;
        if (!fn.isFunction()) throw LispError("no function definition: " + head.asSymbol()->name);
    } else {
        fn = eval(head);
        if (!fn.isFunction()) throw LispError("bad function: " + prin1Form(fn));
    }
    const Function& f = fn.asFunction();
    if (f.kind == Function::Kind::Special) return f.special(*this, form.cdr());
    std::vector<Value> args;
    for (const Value* p = &form.cdr(); p->isCons(); p = &p->cdr())
        args.push_back(eval(p->car()));
    return apply(fn, args);
}

Value Interpreter::apply(const Value& function, const std::vector<Value>& args)
{
    if (!function.isFunction()) throw LispError("bad function: " + prin1Form(function));
    const Function& f = function.asFunction();
    switch (f.kind) {
    case Function::Kind::Builtin:
        return f.builtin(*this, args);
    case Function::Kind::Special:
        throw LispError("bad function: " + prin1Form(function));
    case Function::Kind::Module:
        return invokeModuleFunction(f, args);
    case Function::Kind::Lambda:
        break;
    }
    if (args.size() < f.params.size()) throw LispError("too few arguments");
    if (args.size() > f.params.size()) throw LispError("too many arguments");
    DepthGuard guard(depth_);
    Bindings bindings;
    for (std::size_t i = 0; i < f.params.size(); ++i)
        bindings.bind(f.params[i], args[i]);
    for (Symbol* local : f.locals)
        bindings.bind(local, Value());
    return evalBody(f.body);
}

Value Interpreter::evalBody(const Value& forms)
{
    Value result;
    for (const Value* p = &forms; p->isCons(); p = &p->cdr())
        result = eval(p->car());
    return result;
}

Value Interpreter::evalText(std::string_view text)
{
    Reader reader(text);
    Value result;
    for (;;) {
        Value form;
        std::string message;
        switch (reader.next(form, message)) {
        case ReadStatus::End:
            return result;
        case ReadStatus::Incomplete:
            throw LispError("malformed list on input");
        case ReadStatus::Error:
            throw LispError(message);
        case ReadStatus::Ok:
            result = eval(form);
            break;
        }
    }
}

Value Interpreter::loadFile(const std::string& nativePath)
{
    std::ifstream in(nativePath, std::ios::binary);
    if (!in) throw LispError("LOAD failed: " + prin1Form(Value::string(nativePath)));
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return evalText(text);
}

void badArgument(const char* predicate, const Value& v)
{
    throw LispError(std::string("bad argument type: ") + predicate + " " + prin1Form(v));
}

void needArgs(const std::vector<Value>& args, std::size_t least, std::size_t most)
{
    if (args.size() < least) throw LispError("too few arguments");
    if (args.size() > most) throw LispError("too many arguments");
}

const std::string& stringArg(const std::vector<Value>& args, std::size_t i)
{
    if (!args[i].isString()) badArgument("stringp", args[i]);
    return args[i].asString();
}

std::int32_t intArg(const std::vector<Value>& args, std::size_t i)
{
    if (!args[i].isInt()) badArgument("fixnump:", args[i]);
    return args[i].asInt();
}

double numberArg(const std::vector<Value>& args, std::size_t i)
{
    if (!args[i].isNumber()) badArgument("numberp:", args[i]);
    return args[i].asNumber();
}

} // namespace qorvan::console
