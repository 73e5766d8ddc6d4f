// The AutoLISP evaluator: evaluation with dynamic scoping, function
// application, and loading of source text. Errors abandon the expression as
// a LispError carrying the host-style message.
#pragma once

#include "console/value.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qorvan::console {

class LispError : public std::runtime_error {
public:
    explicit LispError(const std::string& message)
        : std::runtime_error(message)
    {
    }
};

// Nested evaluation deeper than this ends the expression with an error
// instead of overflowing the stack.
inline constexpr int EVAL_DEPTH_LIMIT = 2000;
// The longest string a function may build (1 MiB): far beyond any path or
// message, and small enough that a runaway loop fails with an error instead
// of taking the machine's memory. docs/autolisp.md says the same.
inline constexpr std::size_t MAX_STRING_BYTES = std::size_t { 1 } << 20;

class Interpreter {
public:
    Interpreter();

    Value eval(const Value& form);
    Value apply(const Value& function, const std::vector<Value>& args);
    Value evalBody(const Value& forms);

    // Evaluates every expression of text in order; returns the last value.
    // An incomplete or malformed text is an error.
    Value evalText(std::string_view text);
    // Runs a file as load does: its expressions in order, the last value.
    Value loadFile(const std::string& nativePath);

    void define(const char* name, Value (*fn)(Interpreter&, const std::vector<Value>&));
    void defineSpecial(const char* name, Value (*fn)(Interpreter&, const Value&));

private:
    int depth_ = 0;
};

// Argument checks shared by the builtins; each throws the host's message.
[[noreturn]] void badArgument(const char* predicate, const Value& v);
void needArgs(const std::vector<Value>& args, std::size_t least, std::size_t most);
const std::string& stringArg(const std::vector<Value>& args, std::size_t i);
std::int32_t intArg(const std::vector<Value>& args, std::size_t i);
double numberArg(const std::vector<Value>& args, std::size_t i);

void installCoreBuiltins(Interpreter& in);
void installSpecialForms(Interpreter& in);
void installHostBuiltins(Interpreter& in);

} // namespace qorvan::console
