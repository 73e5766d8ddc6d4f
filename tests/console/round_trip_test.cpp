// The reader and the printer against each other: what prin1 prints reads
// back as the same value, for every byte a string can hold; and the corners
// of reading numbers, escapes and quotes, with the exact words of each
// error the evaluator raises.
#include "console/interpreter.h"
#include "console/printer.h"
#include "console/reader.h"

#include <gtest/gtest.h>

#include <string>

using namespace qorvan::console;

namespace {

// The one value text reads as, or a failure naming the text.
Value readOne(const std::string& text)
{
    Reader r(text);
    Value v;
    std::string message;
    EXPECT_EQ(r.next(v, message), ReadStatus::Ok) << text << ": " << message;
    return v;
}

TEST(RoundTrip, EveryByteOfAStringSurvivesPrintAndRead)
{
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    all += '\0';
    all += "0"; // a digit after an octal escape must not join it
    const std::string printed = prin1Form(Value::string(all));
    for (char c : printed) // printable and one line: control bytes are escaped
        EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) << static_cast<int>(c);
    const Value back = readOne(printed);
    ASSERT_TRUE(back.isString());
    EXPECT_EQ(back.asString(), all);
}

TEST(RoundTrip, PrintedValuesReadBackAndPrintTheSame)
{
    const Value values[] = {
        Value::integer(0),
        Value::integer(2147483647),
        Value::integer(-2147483647 - 1),
        Value::real(0.1),
        Value::real(-1.5e-7),
        Value::real(1e20),
        Value::real(123456789.0),
        Value::string(""),
        Value::string("say \"hi\"\\\n"),
        Value(),
        Value::t(),
        makeList({ Value::integer(1), makeList({ Value::string("a"), Value() }), Value::real(2.5) }),
        Value::cons(Value::integer(1), Value::cons(Value::integer(2), Value::integer(3))),
        Value::cons(Value::string("k"), Value::real(4.0)),
    };
    for (const Value& v : values) {
        const std::string once = prin1Form(v);
        EXPECT_EQ(prin1Form(readOne(once)), once);
    }
}

TEST(Reader, NumbersAtTheirEdges)
{
    struct Case {
        const char* text;
        const char* printed;
    };
    const Case cases[] = {
        { "-2147483648", "-2147483648" },
        { "-2147483649", "-2.14748e+09" }, // too wide for 32 bits: a real
        { "99999999999999999999", "1.0e+20" }, // too wide even for strtoll
        { "007", "7" },
        { "-0", "0" },
        { "1e400", "1.#INF" },
        { "-1e400", "-1.#INF" },
        { "+.5", "0.5" },
        { "1.5e+2", "150.0" },
        { "-", "-" }, // a sign alone is a symbol
        { "1-", "1-" },
        { "1.2.3", "1.2.3" },
        { "e5", "E5" },
        { "1e", "1E" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(prin1Form(readOne(c.text)), c.printed) << c.text;
}

TEST(Reader, StringEscapes)
{
    struct Case {
        const char* text;
        std::string value;
    };
    const Case cases[] = {
        { R"("\n\r\t\e")", "\n\r\t\x1b" },
        { R"("\101\102")", "AB" },
        { R"("\1012")", "A2" }, // at most three octal digits
        { R"("\7x")", "\7x" },
        { R"("\18")",
            "\1"
            "8" }, // 8 is not an octal digit
        { R"("\777")", "\xff" }, // the low eight bits
        { R"("\q\"\\")", "q\"\\" }, // any other character stands for itself
        { R"("a;b")", "a;b" }, // no comment inside a string
        { R"("(")", "(" },
    };
    for (const Case& c : cases) {
        const Value v = readOne(c.text);
        ASSERT_TRUE(v.isString()) << c.text;
        EXPECT_EQ(v.asString(), c.value) << c.text;
    }
}

TEST(Reader, QuoteNestsAndAppliesToTheNextDatum)
{
    struct Case {
        const char* text;
        const char* printed;
    };
    const Case cases[] = {
        { "''a", "(QUOTE (QUOTE A))" },
        { "'(a 'b)", "(QUOTE (A (QUOTE B)))" },
        { "' x", "(QUOTE X)" },
        { "'\"s\"", "(QUOTE \"s\")" },
        { "'()", "(QUOTE nil)" },
        { "'(1 . 2)", "(QUOTE (1 . 2))" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(prin1Form(readOne(c.text)), c.printed) << c.text;
}

TEST(Interpreter, PrintsFunctionsAndQuotedValues)
{
    Interpreter in;
    struct Case {
        const char* text;
        const char* printed;
    };
    const Case cases[] = {
        { "car", "#<SUBR CAR>" },
        { "(defun twice (x) (* 2 x)) twice", "#<USUBR TWICE>" },
        { "(lambda (x) x)", "#<USUBR LAMBDA>" },
        { "'car", "CAR" },
        { "(quote \"text\")", "\"text\"" },
        { "(list 'a \"b\" 1.0 nil)", "(A \"b\" 1.0 nil)" },
        { "(strcat \"tab\" \"\\t\")", "\"tab\\t\"" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(prin1Form(in.evalText(c.text)), c.printed) << c.text;
}

TEST(Interpreter, MoreErrorsInTheHostsWords)
{
    Interpreter in;
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        { "(strlen 1)", "bad argument type: stringp 1" },
        { "(substr \"abc\" \"1\")", "bad argument type: fixnump: \"1\"" },
        { "(length 5)", "bad argument type: listp 5" }, { "((lambda (x) x))", "too few arguments" },
        { "(quote)", "too few arguments" },
        { "\"unclosed", "malformed list on input" }, // any unfinished input
    };
    for (const Case& c : cases) {
        std::string got = "(no error)";
        try {
            in.evalText(c.text);
        } catch (const LispError& e) {
            got = e.what();
        }
        EXPECT_EQ(got, c.error) << c.text;
    }
}

} // namespace
