// The help listing. The summaries are the short form of docs/autolisp.md;
// a test checks that every function the interpreter defines has one.
#include "console/help.h"

#include "console/host_state.h"
#include "console/interpreter.h"
#include "console/output.h"
#include "platform/path.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace qorvan::console {

namespace {

    struct Summary {
        const char* name;
        const char* usage;
    };

    // Sorted by name (checked by the tests) so lookups can bisect.
    constexpr Summary SUMMARIES[] = {
        { "*", "(* N...)  product" },
        { "+", "(+ N...)  sum" },
        { "-", "(- N [N...])  difference, or the negation of one number" },
        { "/", "(/ N N...)  quotient (integer division when every number is an integer)" },
        { "/=", "(/= A B)  T when A and B differ" },
        { "1+", "(1+ N)  N plus one" },
        { "1-", "(1- N)  N minus one" },
        { "<", "(< A B...)  T when each is less than the next" },
        { "<=", "(<= A B...)  T when each is at most the next" },
        { "=", "(= A B...)  T when all are equal" },
        { ">", "(> A B...)  T when each is greater than the next" },
        { ">=", "(>= A B...)  T when each is at least the next" },
        { "AND", "(and EXPR...)  T when every EXPR is non-nil (stops at the first nil)" },
        { "APPEND", "(append LIST...)  the lists joined" },
        { "ARXLOAD", "(arxload \"MODULE\")  load a module; its name, or nil" },
        { "ARXUNLOAD", "(arxunload \"MODULE\")  unload a module; its name, or nil" },
        { "ATOI", "(atoi STRING)  the integer a string starts with" },
        { "ATOM", "(atom X)  T when X is not a list" },
        { "CAR", "(car LIST)  the first element" },
        { "CDR", "(cdr LIST)  the list without its first element" },
        { "COMMAND", "(command \"NAME\")  run a registered command" },
        { "COND", "(cond (TEST EXPR...)...)  the body of the first true test" },
        { "CONS", "(cons X LIST)  LIST with X in front" },
        { "DEFUN", "(defun NAME (ARGS / LOCALS) EXPR...)  define a function" },
        { "EQUAL", "(equal A B)  T when A and B hold the same value" },
        { "FINDFILE", "(findfile \"NAME\")  the path of an existing file, or nil" },
        { "FOREACH", "(foreach VAR LIST EXPR...)  EXPR for each element" },
        { "FUNCTION", "(function F)  F, unevaluated" },
        { "HELP", "(help)  this list" },
        { "IF", "(if TEST THEN [ELSE])  THEN when TEST is non-nil, else ELSE" },
        { "ITOA", "(itoa N)  an integer as a string" },
        { "LAMBDA", "(lambda (ARGS / LOCALS) EXPR...)  an anonymous function" },
        { "LENGTH", "(length LIST)  the number of elements" },
        { "LIST", "(list X...)  a list of the values" },
        { "LISTP", "(listp X)  T when X is a list (nil included)" },
        { "LOAD", "(load \"FILE\")  evaluate an AutoLISP file; its last value" },
        { "MEMBER", "(member X LIST)  the rest of LIST from X, or nil" },
        { "NOT", "(not X)  T when X is nil" },
        { "NTH", "(nth N LIST)  the element at N, counted from 0" },
        { "NULL", "(null X)  T when X is nil" },
        { "OR", "(or EXPR...)  T when some EXPR is non-nil (stops at the first)" },
        { "PRIN1", "(prin1 X)  print X as it is read back; X" },
        { "PRINC", "(princ [X])  print X without quotes; X" },
        { "PRINT", "(print X)  a newline, then X as prin1 does, then a space; X" },
        { "PROGN", "(progn EXPR...)  the value of the last EXPR" },
        { "QUOTE", "(quote X) or 'X  X, unevaluated" },
        { "REPEAT", "(repeat N EXPR...)  EXPR N times" },
        { "REVERSE", "(reverse LIST)  the list backwards" },
        { "RTOS", "(rtos N [MODE [PRECISION]])  a number as a string" },
        { "SETQ", "(setq VAR VALUE...)  set variables; the last value" },
        { "SLB-APPEND", "(slb-append LIBRARY SLIDEFILE)  add a slide file; the names" },
        { "SLB-DELETE", "(slb-delete LIBRARY NAME)  delete a slide; the names" },
        { "SLB-ERROR", "(slb-error)  the message of the last failure, or \"\"" },
        { "SLB-EXPLODE", "(slb-explode LIBRARY DIRECTORY)  write every slide as a file; the names" },
        { "SLB-EXTRACT", "(slb-extract LIBRARY NAME DIRECTORY)  write DIRECTORY\\NAME.SLD; the names" },
        { "SLB-LIST", "(slb-list LIBRARY)  the slide names, in library order" },
        { "SLB-REMOVE", "(slb-remove LIBRARY NAME DIRECTORY)  extract, then delete; the names" },
        { "SLB-REPLACE", "(slb-replace LIBRARY SLIDEFILE)  replace (or add) a slide; the names" },
        { "SLB-VIEW", "(slb-view SLIDEREF [TITLE [WIDTH [HEIGHT]]])  show a slide in a dialog" },
        { "STRCASE", "(strcase STRING [LOWER])  upper case, or lower case when LOWER is non-nil" },
        { "STRCAT", "(strcat STRING...)  the strings joined" },
        { "STRLEN", "(strlen STRING...)  the number of characters" },
        { "SUBSTR", "(substr STRING START [LENGTH])  part of a string, START counted from 1" },
        { "TERPRI", "(terpri)  print a newline" },
        { "WHILE", "(while TEST EXPR...)  EXPR as long as TEST is non-nil" },
    };

    bool before(const Summary& s, std::string_view name)
    {
        return std::string_view(s.name) < name;
    }

    std::string padded(const std::string& text, std::size_t width)
    {
        return text.size() >= width ? text + "  " : text + std::string(width - text.size(), ' ');
    }

    Value helpFn(Interpreter&, const std::vector<Value>& args)
    {
        needArgs(args, 0, 0);
        output::write(helpText());
        return Value::voidValue();
    }

} // namespace

std::string_view functionSummary(std::string_view name)
{
    const std::string upper = platform::toUpperAscii(name);
    const auto* it = std::lower_bound(std::begin(SUMMARIES), std::end(SUMMARIES), upper, before);
    if (it == std::end(SUMMARIES) || it->name != upper) return {};
    return it->usage;
}

std::string helpText()
{
    std::vector<Symbol*> functions;
    for (Symbol* s : internedSymbols())
        if (s->value.isFunction()) functions.push_back(s);
    std::string core;
    std::string modules;
    for (Symbol* s : functions) {
        const Function& f = s->value.asFunction();
        const std::string name = platform::toLowerAscii(s->name);
        std::string_view summary = functionSummary(s->name);
        std::string line;
        if (!summary.empty()) {
            // "(name ARGS)  what it does": the call is one column.
            const auto gap = summary.find("  ");
            line = "  " + padded(std::string(summary.substr(0, gap)), 44)
                + std::string(summary.substr(gap + 2));
        } else {
            line = "  " + padded("(" + name + " ...)", 44);
        }
        if (f.kind == Function::Kind::Module) {
            if (f.module)
                line += summary.empty() ? "defined by " + f.module->name : "  [" + f.module->name + "]";
            modules += line + "\n";
        } else {
            core += line + "\n";
        }
    }
    std::string text = "Functions (type them in parentheses):\n" + core;
    if (!modules.empty()) text += "Functions of the loaded modules:\n" + modules;
    text += "Commands (type the name alone): HELP, QUIT";
    for (const RegisteredCommand& c : commands())
        text += ", " + c.globalName;
    text += "\nTab completes the names of functions and variables; Ctrl-C abandons the line or the\n"
            "evaluation; Ctrl-D or QUIT ends the session.\n";
    return text;
}

void installHelp(Interpreter& in)
{
    in.define("help", helpFn);
}

} // namespace qorvan::console
