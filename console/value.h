// AutoLISP values: nil, integers (32-bit), reals, strings, symbols, cons
// cells and functions, plus the void value of a function that returns none.
// Symbols are interned for the life of the program and hold their global
// value, which AutoLISP's dynamic scoping rebinds during a call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qorvan::console {

struct Cons;
struct Function;
struct Symbol;

struct Nil {
    bool operator==(const Nil&) const = default;
};
struct Void {
    bool operator==(const Void&) const = default;
};

class Value {
public:
    using Str = std::shared_ptr<const std::string>;
    using ConsPtr = std::shared_ptr<Cons>;
    using FunctionPtr = std::shared_ptr<const Function>;
    using Storage = std::variant<Nil, Void, std::int32_t, double, Str, Symbol*, ConsPtr, FunctionPtr>;

    Value() = default;
    static Value integer(std::int32_t v) { return Value(Storage(v)); }
    static Value real(double v) { return Value(Storage(v)); }
    static Value string(std::string text)
    {
        return Value(Storage(std::make_shared<const std::string>(std::move(text))));
    }
    static Value symbol(Symbol* s) { return Value(Storage(s)); }
    static Value voidValue() { return Value(Storage(Void {})); }
    static Value function(FunctionPtr f) { return Value(Storage(std::move(f))); }
    static Value cons(Value car, Value cdr);
    static Value t();

    bool isNil() const { return std::holds_alternative<Nil>(v_); }
    bool isVoid() const { return std::holds_alternative<Void>(v_); }
    bool isInt() const { return std::holds_alternative<std::int32_t>(v_); }
    bool isReal() const { return std::holds_alternative<double>(v_); }
    bool isNumber() const { return isInt() || isReal(); }
    bool isString() const { return std::holds_alternative<Str>(v_); }
    bool isSymbol() const { return std::holds_alternative<Symbol*>(v_); }
    bool isCons() const { return std::holds_alternative<ConsPtr>(v_); }
    bool isFunction() const { return std::holds_alternative<FunctionPtr>(v_); }
    bool isList() const { return isNil() || isCons(); }
    bool isT() const;
    bool truthy() const { return !isNil(); }

    std::int32_t asInt() const { return std::get<std::int32_t>(v_); }
    double asReal() const { return std::get<double>(v_); }
    double asNumber() const { return isInt() ? asInt() : asReal(); }
    const std::string& asString() const { return *std::get<Str>(v_); }
    Symbol* asSymbol() const { return std::get<Symbol*>(v_); }
    Cons& asCons() const { return *std::get<ConsPtr>(v_); }
    const Function& asFunction() const { return *std::get<FunctionPtr>(v_); }

    // car and cdr of a list; both nil for nil.
    const Value& car() const;
    const Value& cdr() const;

    Storage& storage() { return v_; }

private:
    explicit Value(Storage v)
        : v_(std::move(v))
    {
    }
    Storage v_;
};

struct Cons {
    Value car;
    Value cdr;
    Cons(Value a, Value d)
        : car(std::move(a))
        , cdr(std::move(d))
    {
    }
    // Releases a long cdr chain iteratively rather than by recursion.
    ~Cons();
};

struct Symbol {
    std::string name; // upper case
    Value value;
};

// The interned symbol of a name (folded to upper case).
Symbol* intern(std::string_view name);
// Every symbol interned so far, sorted by name.
std::vector<Symbol*> internedSymbols();

class Interpreter;
struct LoadedModule;

struct Function {
    enum class Kind { Builtin, Special, Lambda, Module };
    Kind kind = Kind::Builtin;
    std::string name;
    // Builtin: evaluated arguments. Special: the unevaluated argument forms.
    Value (*builtin)(Interpreter&, const std::vector<Value>&) = nullptr;
    Value (*special)(Interpreter&, const Value&) = nullptr;
    // Lambda: parameters, locals (after "/") and body forms.
    std::vector<Symbol*> params;
    std::vector<Symbol*> locals;
    Value body;
    // Module: the module that defined the name and the function code.
    LoadedModule* module = nullptr;
    short code = 0;
};

// Builds a proper list from values.
Value makeList(const std::vector<Value>& items);
// The elements of a proper list; the tail of a dotted list is dropped.
std::vector<Value> listItems(const Value& list);
std::size_t listLength(const Value& list);

// AutoLISP's equal: numbers by value, strings by content, lists element-wise.
bool valuesEqual(const Value& a, const Value& b);

} // namespace qorvan::console
