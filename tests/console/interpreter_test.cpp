// The evaluator and the core functions, through source text: each case is
// an expression and the prin1 form of its value, or the error it raises.
#include "console/convert.h"
#include "console/interpreter.h"
#include "console/printer.h"
#include "host/arx/adsdef.h"

#include <gtest/gtest.h>

#include <string>

using namespace qorvan::console;

namespace {

Interpreter& interpreter()
{
    static Interpreter in;
    return in;
}

std::string eval(const std::string& text)
{
    try {
        return prin1Form(interpreter().evalText(text));
    } catch (const LispError& e) {
        return std::string("error: ") + e.what();
    }
}

TEST(Interpreter, EvaluatesTheDocumentedCore)
{
    struct Case {
        const char* text;
        const char* value;
    };
    const Case cases[] = {
        { "(setq a 1 b 2)", "2" },
        { "(list a b)", "(1 2)" },
        { "(quote (x y))", "(X Y)" },
        { "(car '(1 2 3))", "1" },
        { "(cdr '(1 2 3))", "(2 3)" },
        { "(car nil)", "nil" },
        { "(cons 1 '(2))", "(1 2)" },
        { "(cons 1 2)", "(1 . 2)" },
        { "(nth 2 '(a b c))", "C" },
        { "(nth 5 '(a b c))", "nil" },
        { "(length '(1 2 3))", "3" },
        { "(append '(1) '(2 3) nil '(4))", "(1 2 3 4)" },
        { "(reverse '(1 2 3))", "(3 2 1)" },
        { "(member 2 '(1 2 3))", "(2 3)" },
        { "(member \"b\" '(\"a\" \"b\"))", "(\"b\")" },
        { "(member 9 '(1 2))", "nil" },
        { "(setq n 0) (foreach x '(1 2 3) (setq n (+ n x)))", "6" },
        { "(setq i 0) (while (< i 5) (setq i (1+ i)))", "5" },
        { "(setq s \"\") (repeat 3 (setq s (strcat s \"ab\")))", "\"ababab\"" },
        // Released without recursion, however deep the car chain.
        { "(setq l nil) (repeat 1000000 (setq l (list l))) (setq l nil) 1", "1" },
        { "(if (= 1 1) \"yes\" \"no\")", "\"yes\"" },
        { "(if nil 1)", "nil" },
        { "(cond ((= 1 2) 'a) ((= 2 2) 'b) (T 'c))", "B" },
        { "(cond ((+ 1 2)))", "3" },
        { "(progn 1 2 3)", "3" },
        { "(defun sq (x) (* x x))", "SQ" },
        { "(sq 12)", "144" },
        { "(defun f (x / tmp) (setq tmp (* 2 x)) tmp) (setq tmp 'outer) (list (f 4) tmp)", "(8 OUTER)" },
        { "((lambda (x y) (+ x y)) 2 3)", "5" },
        { "(and 1 2)", "T" },
        { "(and 1 nil)", "nil" },
        { "(or nil 2)", "T" },
        { "(or)", "nil" },
        { "(not nil)", "T" },
        { "(null '(1))", "nil" },
        { "(= 1 1.0)", "T" },
        { "(= \"a\" \"a\" \"a\")", "T" },
        { "(/= 1 2)", "T" },
        { "(< 1 2 3)", "T" },
        { "(< 1 3 2)", "nil" },
        { "(> \"b\" \"a\")", "T" },
        { "(<= 2 2)", "T" },
        { "(>= 1 2)", "nil" },
        { "(+ 1 2 3)", "6" },
        { "(+)", "0" },
        { "(+ 1 2.5)", "3.5" },
        { "(- 10 4 1)", "5" },
        { "(- 5)", "-5" },
        { "(* 2 3.0)", "6.0" },
        { "(/ 7 2)", "3" },
        { "(/ 7 2.0)", "3.5" },
        { "(+ 2147483647 1)", "-2147483648" },
        { "(strcat \"Slide \" \"BOX\")", "\"Slide BOX\"" },
        { "(strcat)", "\"\"" },
        { "(strcase \"Gear\")", "\"GEAR\"" },
        { "(strcase \"Gear\" T)", "\"gear\"" },
        { "(strlen \"hello\")", "5" },
        { "(substr \"hello\" 2 3)", "\"ell\"" },
        { "(substr \"hello\" 4)", "\"lo\"" },
        { "(substr \"hello\" 9)", "\"\"" },
        { "(itoa -12)", "\"-12\"" },
        { "(atoi \"42abc\")", "42" },
        { "(atoi \"x\")", "0" },
        { "(rtos 1.5)", "\"1.5000\"" },
        { "(rtos 2 2 1)", "\"2.0\"" },
        { "(rtos 1234.5 1 2)", "\"1.23E+03\"" },
        { "(setq lst nil) lst", "nil" },
        { "unbound-symbol", "nil" },
        { "(princ)", "" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(eval(c.text), c.value) << c.text;
}

TEST(Interpreter, ErrorsCarryTheHostMessages)
{
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        { "(no-such-fn 1)", "error: no function definition: NO-SUCH-FN" },
        { "(strcat \"a\" 1)", "error: bad argument type: stringp 1" },
        { "(+ 1 \"a\")", "error: bad argument type: numberp: \"a\"" },
        { "(itoa 1.5)", "error: bad argument type: fixnump: 1.5" },
        { "(car 1)", "error: bad argument type: listp 1" },
        { "(/ 1 0)", "error: divide by zero" },
        { "(setq s \"x\") (repeat 30 (setq s (strcat s s)))", "error: string too long" },
        { "(/ 1.0 0)", "error: divide by zero" },
        { "(defun two (a b) a) (two 1)", "error: too few arguments" },
        { "(two 1 2 3)", "error: too many arguments" },
        { "(1 2)", "error: bad function: 1" },
        { "(setq 1 2)", "error: bad argument type: symbolp 1" },
        { "(car)", "error: too few arguments" },
        { "(1 2", "error: malformed list on input" },
        { "(defun loop (n) (loop n)) (loop 1)", "error: internal stack limit reached" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(eval(c.text), c.error) << c.text;
}

TEST(Interpreter, DeepListsCompareWithoutRecursion)
{
    // Nested in the car 400 000 times (far past what the stack could take
    // in a recursion), and once more with a different innermost atom.
    eval("(setq deepa nil deepb nil deepc 1)");
    eval("(repeat 400000 (setq deepa (list deepa) deepb (list deepb) deepc (list deepc)))");
    const struct {
        const char* text;
        const char* value;
    } cases[] = {
        { "(equal deepa deepb)", "T" },
        { "(equal deepa deepc)", "nil" },
        { "(if (member deepb (list 1 deepa)) 'found)", "FOUND" },
        { "(member deepc (list deepa deepb))", "nil" },
        { "(equal (list 1 deepa \"x\") (list 1 deepb \"x\"))", "T" },
        { "(equal (list 1 deepa \"x\") (list 1 deepb \"y\"))", "nil" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(eval(c.text), c.value) << c.text;
    eval("(setq deepa nil deepb nil deepc nil)");
}

TEST(Interpreter, ErrorRestoresDynamicBindings)
{
    eval("(setq v 'global) (defun g (v) (/ 1 0))");
    EXPECT_EQ(eval("(g 5)"), "error: divide by zero");
    EXPECT_EQ(eval("v"), "GLOBAL");
    eval("(setq w 'kept)");
    EXPECT_EQ(eval("(foreach w '(1 2) (car w))"), "error: bad argument type: listp 1");
    EXPECT_EQ(eval("w"), "KEPT");
}

TEST(Convert, IntegersPassAsShortOrLongByRange)
{
    struct Case {
        std::int32_t v;
        short type;
    };
    const Case cases[] = { { 0, RTSHORT }, { 32767, RTSHORT }, { -32768, RTSHORT }, { 32768, RTLONG },
        { -32769, RTLONG }, { 2147483647, RTLONG } };
    for (const Case& c : cases) {
        resbuf* chain = toChain({ Value::integer(c.v) });
        ASSERT_NE(chain, nullptr);
        EXPECT_EQ(chain->restype, c.type) << c.v;
        EXPECT_EQ(prin1Form(fromChain(chain)), "(" + std::to_string(c.v) + ")");
        releaseChain(chain);
    }
}

TEST(Convert, ValuesRoundTripThroughChains)
{
    for (const char* t : { "(1 2.5 \"s\" nil T)", "((1 (2 3)) \"b\")", "((1 . 2) (nil))" }) {
        const Value v = interpreter().evalText(std::string("'") + t);
        resbuf* chain = toChain(listItems(v));
        EXPECT_EQ(prin1Form(fromChain(chain)), t);
        releaseChain(chain);
    }
}

TEST(Convert, SymbolsAndFunctionsHaveNoNodeForm)
{
    EXPECT_THROW(toChain({ Value::string("a"), Value::symbol(intern("sym")) }), LispError);
    EXPECT_THROW(toChain({ interpreter().evalText("car") }), LispError);
}

TEST(Convert, ListShapesAndTypesOfTheChain)
{
    resbuf* chain = toChain({ Value::string("a"), makeList({ Value::integer(1), Value::real(2.0) }), Value(),
        Value::t(), Value::cons(Value::integer(1), Value::integer(2)) });
    std::vector<short> types;
    for (resbuf* p = chain; p; p = p->rbnext)
        types.push_back(p->restype);
    releaseChain(chain);
    const std::vector<short> expected
        = { RTSTR, RTLB, RTSHORT, RTREAL, RTLE, RTNIL, RTT, RTLB, RTSHORT, RTDOTE, RTSHORT, RTLE };
    EXPECT_EQ(types, expected);
}

TEST(Convert, UnbalancedChainsStillConvert)
{
    resbuf* open = toChain({ Value::string("a"), makeList({ Value::integer(1) }) });
    // Cut the final RTLE off: the open list closes at the end of the chain.
    resbuf* p = open;
    while (p->rbnext->rbnext)
        p = p->rbnext;
    releaseChain(p->rbnext);
    p->rbnext = nullptr;
    EXPECT_EQ(prin1Form(fromChain(open)), "(\"a\" (1))");
    releaseChain(open);

    resbuf* stray = newNode(RTLE);
    stray->rbnext = newNode(RTSHORT);
    stray->rbnext->resval.rint = 7;
    EXPECT_EQ(prin1Form(fromChain(stray)), "(7)");
    releaseChain(stray);
    EXPECT_EQ(prin1Form(fromChain(nullptr)), "nil");
}

} // namespace
