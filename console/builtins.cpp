// The core functions: lists, predicates, comparison, arithmetic, strings.
#include "console/interpreter.h"

#include "console/printer.h"
#include "platform/path.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace qorvan::console {

namespace {

    using Args = std::vector<Value>;

    const Value& listArg(const Args& a, std::size_t i)
    {
        if (!a[i].isList()) badArgument("listp", a[i]);
        return a[i];
    }

    Value listFn(Interpreter&, const Args& a)
    {
        return makeList(a);
    }

    Value carFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, 1);
        return listArg(a, 0).car();
    }

    Value cdrFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, 1);
        return listArg(a, 0).cdr();
    }

    Value consFn(Interpreter&, const Args& a)
    {
        needArgs(a, 2, 2);
        return Value::cons(a[0], a[1]);
    }

    Value nthFn(Interpreter&, const Args& a)
    {
        needArgs(a, 2, 2);
        std::int32_t n = intArg(a, 0);
        const Value* p = &listArg(a, 1);
        if (n < 0) return Value();
        while (n-- > 0 && p->isCons())
            p = &p->cdr();
        return p->car();
    }

    Value lengthFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, 1);
        return Value::integer(static_cast<std::int32_t>(listLength(listArg(a, 0))));
    }

    Value appendFn(Interpreter&, const Args& a)
    {
        std::vector<Value> items;
        for (std::size_t i = 0; i < a.size(); ++i) {
            listArg(a, i);
            for (Value& v : listItems(a[i]))
                items.push_back(std::move(v));
        }
        return makeList(items);
    }

    Value reverseFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, 1);
        Value out;
        for (const Value* p = &listArg(a, 0); p->isCons(); p = &p->cdr())
            out = Value::cons(p->car(), std::move(out));
        return out;
    }

    Value memberFn(Interpreter&, const Args& a)
    {
        needArgs(a, 2, 2);
        for (const Value* p = &listArg(a, 1); p->isCons(); p = &p->cdr())
            if (valuesEqual(a[0], p->car())) return *p;
        return Value();
    }

    Value notFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, 1);
        return a[0].truthy() ? Value() : Value::t();
    }

    Value boolValue(bool b)
    {
        return b ? Value::t() : Value();
    }

    Value equalFn(Interpreter&, const Args& a)
    {
        needArgs(a, 2, 3);
        return boolValue(valuesEqual(a[0], a[1]));
    }

    Value atomFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, 1);
        return boolValue(!a[0].isCons());
    }

    Value listpFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, 1);
        return boolValue(a[0].isList());
    }

    // -1, 0 or 1 for two numbers or two strings.
    int compare(const Value& x, const Value& y)
    {
        if (x.isNumber() && y.isNumber()) {
            if (x.isInt() && y.isInt()) return (x.asInt() > y.asInt()) - (x.asInt() < y.asInt());
            return (x.asNumber() > y.asNumber()) - (x.asNumber() < y.asNumber());
        }
        if (x.isString() && y.isString())
            return x.asString().compare(y.asString()) < 0 ? -1 : (x.asString() == y.asString() ? 0 : 1);
        badArgument("numberp:", x.isNumber() || x.isString() ? y : x);
    }

    template <bool (*Holds)(int)> Value chainCompare(Interpreter&, const Args& a)
    {
        needArgs(a, 1, std::numeric_limits<std::size_t>::max());
        for (std::size_t i = 0; i + 1 < a.size(); ++i)
            if (!Holds(compare(a[i], a[i + 1]))) return Value();
        if (a.size() == 1) compare(a[0], a[0]);
        return Value::t();
    }

    bool eqHolds(int c)
    {
        return c == 0;
    }
    bool ltHolds(int c)
    {
        return c < 0;
    }
    bool gtHolds(int c)
    {
        return c > 0;
    }
    bool leHolds(int c)
    {
        return c <= 0;
    }
    bool geHolds(int c)
    {
        return c >= 0;
    }

    Value notEqualFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, std::numeric_limits<std::size_t>::max());
        for (std::size_t i = 0; i + 1 < a.size(); ++i)
            if (compare(a[i], a[i + 1]) == 0) return Value();
        return Value::t();
    }

    enum class Op { Add, Sub, Mul, Div };

    // Integer arithmetic wraps at 32 bits, as the host's does; any real operand
    // makes the result real.
    Value arithmetic(const Args& a, Op op)
    {
        if (a.empty()) return Value::integer(0);
        for (std::size_t i = 0; i < a.size(); ++i)
            numberArg(a, i);
        bool allInt = true;
        for (const Value& v : a)
            allInt = allInt && v.isInt();
        if (a.size() == 1 && op == Op::Sub) {
            if (allInt)
                return Value::integer(
                    static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(a[0].asInt())));
            return Value::real(-a[0].asReal());
        }
        if (allInt) {
            std::int64_t acc = a[0].asInt();
            for (std::size_t i = 1; i < a.size(); ++i) {
                const std::int64_t v = a[i].asInt();
                switch (op) {
                case Op::Add:
                    acc += v;
                    break;
                case Op::Sub:
                    acc -= v;
                    break;
                case Op::Mul:
                    acc *= v;
                    break;
                case Op::Div:
                    if (v == 0) throw LispError("divide by zero");
                    acc /= v;
                    break;
                }
                acc = static_cast<std::int32_t>(static_cast<std::uint32_t>(acc & 0xFFFFFFFF));
            }
            return Value::integer(static_cast<std::int32_t>(acc));
        }
        double acc = a[0].asNumber();
        for (std::size_t i = 1; i < a.size(); ++i) {
            const double v = a[i].asNumber();
            switch (op) {
            case Op::Add:
                acc += v;
                break;
            case Op::Sub:
                acc -= v;
                break;
            case Op::Mul:
                acc *= v;
                break;
            case Op::Div:
                if (v == 0.0) throw LispError("divide by zero");
                acc /= v;
                break;
            }
        }
        return Value::real(acc);
    }

    Value addFn(Interpreter&, const Args& a)
    {
        return arithmetic(a, Op::Add);
    }
    Value subFn(Interpreter&, const Args& a)
    {
        return arithmetic(a, Op::Sub);
    }
    Value mulFn(Interpreter&, const Args& a)
    {
        return arithmetic(a, Op::Mul);
    }
    Value divFn(Interpreter&, const Args& a)
    {
        return arithmetic(a, Op::Div);
    }

    Value onePlusFn(Interpreter& in, const Args& a)
    {
        needArgs(a, 1, 1);
        return addFn(in, { a[0], Value::integer(1) });
    }

    Value oneMinusFn(Interpreter& in, const Args& a)
    {
        needArgs(a, 1, 1);
        return subFn(in, { a[0], Value::integer(1) });
    }

    Value strcatFn(Interpreter&, const Args& a)
    {
        std::string out;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const std::string& part = stringArg(a, i);
            // Doubling a string in a loop would otherwise take the process's
            // memory in a few dozen steps.
            if (part.size() > MAX_STRING_BYTES - out.size()) throw LispError("string too long");
            out += part;
        }
        return Value::string(std::move(out));
    }

    Value strcaseFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, 2);
        const std::string& s = stringArg(a, 0);
        const bool lower = a.size() == 2 && a[1].truthy();
        return Value::string(lower ? platform::toLowerAscii(s) : platform::toUpperAscii(s));
    }

    Value strlenFn(Interpreter&, const Args& a)
    {
        std::size_t n = 0;
        for (std::size_t i = 0; i < a.size(); ++i)
            n += stringArg(a, i).size();
        return Value::integer(static_cast<std::int32_t>(n));
    }

    Value substrFn(Interpreter&, const Args& a)
    {
        needArgs(a, 2, 3);
        const std::string& s = stringArg(a, 0);
        const std::int32_t start = intArg(a, 1);
        if (start < 1) badArgument("positive integer", a[1]);
        std::int64_t length = std::numeric_limits<std::int32_t>::max();
        if (a.size() == 3) {
            length = intArg(a, 2);
            if (length < 0) badArgument("positive integer", a[2]);
        }
        const auto from = static_cast<std::size_t>(start - 1);
        if (from >= s.size()) return Value::string("");
        return Value::string(s.substr(from, static_cast<std::size_t>(length)));
    }

    Value itoaFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, 1);
        return Value::string(std::to_string(intArg(a, 0)));
    }

    Value atoiFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, 1);
        const long long v = std::strtoll(stringArg(a, 0).c_str(), nullptr, 10);
        return Value::integer(static_cast<std::int32_t>(static_cast<std::uint32_t>(v & 0xFFFFFFFF)));
    }

    // (rtos number [mode [precision]]): mode 1 scientific, every other mode
    // decimal; precision 4 unless given.
    Value rtosFn(Interpreter&, const Args& a)
    {
        needArgs(a, 1, 3);
        const double v = numberArg(a, 0);
        const std::int32_t mode = a.size() >= 2 ? intArg(a, 1) : 2;
        std::int32_t precision = a.size() >= 3 ? intArg(a, 2) : 4;
        if (precision < 0) precision = 0;
        if (precision > 16) precision = 16;
        char buf[512];
        if (mode == 1) {
            std::snprintf(buf, sizeof buf, "%.*E", static_cast<int>(precision), v);
        } else {
            std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(precision), v);
        }
        return Value::string(buf);
    }

} // namespace

void installCoreBuiltins(Interpreter& in)
{
    in.define("list", listFn);
    in.define("car", carFn);
    in.define("cdr", cdrFn);
    in.define("cons", consFn);
    in.define("nth", nthFn);
    in.define("length", lengthFn);
    in.define("append", appendFn);
    in.define("reverse", reverseFn);
    in.define("member", memberFn);
    in.define("not", notFn);
    in.define("null", notFn);
    in.define("equal", equalFn);
    in.define("atom", atomFn);
    in.define("listp", listpFn);
    in.define("=", chainCompare<eqHolds>);
    in.define("/=", notEqualFn);
    in.define("<", chainCompare<ltHolds>);
    in.define(">", chainCompare<gtHolds>);
    in.define("<=", chainCompare<leHolds>);
    in.define(">=", chainCompare<geHolds>);
    in.define("+", addFn);
    in.define("-", subFn);
    in.define("*", mulFn);
    in.define("/", divFn);
    in.define("1+", onePlusFn);
    in.define("1-", oneMinusFn);
    in.define("strcat", strcatFn);
    in.define("strcase", strcaseFn);
    in.define("strlen", strlenFn);
    in.define("substr", substrFn);
    in.define("itoa", itoaFn);
    in.define("atoi", atoiFn);
    in.define("rtos", rtosFn);
}

} // namespace qorvan::console
