// The forms that take their arguments unevaluated: quote, setq, if, cond,
// while, repeat, foreach, progn, defun, lambda, and, or.
#include "console/interpreter.h"

#include "console/printer.h"

namespace qorvan::console {

namespace {

    std::vector<Value> forms(const Value& args)
    {
        return listItems(args);
    }

    Symbol* symbolOf(const Value& v)
    {
        if (!v.isSymbol() || v.isT()) badArgument("symbolp", v);
        return v.asSymbol();
    }

    Value quoteForm(Interpreter&, const Value& args)
    {
        if (listLength(args) != 1) throw LispError(args.isNil() ? "too few arguments" : "too many arguments");
        return args.car();
    }

    Value setqForm(Interpreter& in, const Value& args)
    {
        Value result;
        const Value* p = &args;
        if (!p->isCons()) throw LispError("too few arguments");
        while (p->isCons()) {
            Symbol* s = symbolOf(p->car());
            if (!p->cdr().isCons()) throw LispError("too few arguments");
            result = in.eval(p->cdr().car());
            s->value = result;
            p = &p->cdr().cdr();
        }
        return result;
    }

    Value ifForm(Interpreter& in, const Value& args)
    {
        const auto f = forms(args);
        if (f.size() < 2) throw LispError("too few arguments");
        if (f.size() > 3) throw LispError("too many arguments");
        if (in.eval(f[0]).truthy()) return in.eval(f[1]);
        return f.size() == 3 ? in.eval(f[2]) : Value();
    }

    Value condForm(Interpreter& in, const Value& args)
    {
        for (const Value* p = &args; p->isCons(); p = &p->cdr()) {
            const Value& clause = p->car();
            if (!clause.isCons()) badArgument("listp", clause);
            Value test = in.eval(clause.car());
            if (test.truthy()) return clause.cdr().isNil() ? test : in.evalBody(clause.cdr());
        }
        return Value();
    }

    Value whileForm(Interpreter& in, const Value& args)
    {
        if (!args.isCons()) throw LispError("too few arguments");
        Value result;
        while (in.eval(args.car()).truthy())
            result = in.evalBody(args.cdr());
        return result;
    }

    Value repeatForm(Interpreter& in, const Value& args)
    {
        if (!args.isCons()) throw LispError("too few arguments");
        const Value count = in.eval(args.car());
        if (!count.isInt()) badArgument("fixnump:", count);
        Value result;
        for (std::int32_t i = 0; i < count.asInt(); ++i)
            result = in.evalBody(args.cdr());
        return result;
    }

    Value foreachForm(Interpreter& in, const Value& args)
    {
        const auto f = forms(args);
        if (f.size() < 2) throw LispError("too few arguments");
        Symbol* s = symbolOf(f[0]);
        const Value list = in.eval(f[1]);
        if (!list.isList()) badArgument("listp", list);
        const Value saved = s->value;
        Value result;
        try {
            for (const Value* p = &list; p->isCons(); p = &p->cdr()) {
                s->value = p->car();
                result = in.evalBody(args.cdr().cdr());
            }
        } catch (...) {
            s->value = saved;
            throw;
        }
        s->value = saved;
        return result;
    }

    Value prognForm(Interpreter& in, const Value& args)
    {
        return in.evalBody(args);
    }

    // Parameters and locals of a lambda list: (a b / c d).
    void parseParams(const Value& list, Function& f)
    {
        if (!list.isList()) badArgument("listp", list);
        bool locals = false;
        for (const Value* p = &list; p->isCons(); p = &p->cdr()) {
            const Value& item = p->car();
            if (item.isSymbol() && item.asSymbol()->name == "/") {
                locals = true;
                continue;
            }
            (locals ? f.locals : f.params).push_back(symbolOf(item));
        }
    }

    Value makeLambda(const std::string& name, const Value& params, const Value& body)
    {
        auto f = std::make_shared<Function>();
        f->kind = Function::Kind::Lambda;
        f->name = name;
        parseParams(params, *f);
        f->body = body;
        return Value::function(std::move(f));
    }

    Value defunForm(Interpreter&, const Value& args)
    {
        if (listLength(args) < 2) throw LispError("too few arguments");
        Symbol* s = symbolOf(args.car());
        s->value = makeLambda(s->name, args.cdr().car(), args.cdr().cdr());
        return args.car();
    }

    Value lambdaForm(Interpreter&, const Value& args)
    {
        if (!args.isCons()) throw LispError("too few arguments");
        return makeLambda("", args.car(), args.cdr());
    }

    Value functionForm(Interpreter& in, const Value& args)
    {
        if (listLength(args) != 1) throw LispError("too few arguments");
        return in.eval(args.car());
    }

    Value andForm(Interpreter& in, const Value& args)
    {
        for (const Value* p = &args; p->isCons(); p = &p->cdr())
            if (!in.eval(p->car()).truthy()) return Value();
        return Value::t();
    }

    Value orForm(Interpreter& in, const Value& args)
    {
        for (const Value* p = &args; p->isCons(); p = &p->cdr())
            if (in.eval(p->car()).truthy()) return Value::t();
        return Value();
    }

} // namespace

void installSpecialForms(Interpreter& in)
{
    in.defineSpecial("quote", quoteForm);
    in.defineSpecial("setq", setqForm);
    in.defineSpecial("if", ifForm);
    in.defineSpecial("cond", condForm);
    in.defineSpecial("while", whileForm);
    in.defineSpecial("repeat", repeatForm);
    in.defineSpecial("foreach", foreachForm);
    in.defineSpecial("progn", prognForm);
    in.defineSpecial("defun", defunForm);
    in.defineSpecial("lambda", lambdaForm);
    in.defineSpecial("function", functionForm);
    in.defineSpecial("and", andForm);
    in.defineSpecial("or", orForm);
}

} // namespace qorvan::console
