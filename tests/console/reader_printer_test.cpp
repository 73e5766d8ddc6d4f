// The AutoLISP reader and printer: what text reads as, how values print, and
// how malformed or unfinished input is reported.
#include "console/printer.h"
#include "console/reader.h"

#include <gtest/gtest.h>

#include <string>

using namespace qorvan::console;

namespace {

std::string readPrint(const std::string& text)
{
    Reader r(text);
    Value v;
    std::string message;
    EXPECT_EQ(r.next(v, message), ReadStatus::Ok) << text << ": " << message;
    return prin1Form(v);
}

TEST(Reader, AtomsAndListsPrintBackInCanonicalForm)
{
    struct Case {
        const char* text;
        const char* printed;
    };
    const Case cases[] = {
        { "42", "42" },
        { "-7", "-7" },
        { "+3", "3" },
        { "2147483647", "2147483647" },
        { "2147483648", "2.14748e+09" },
        { "1.5", "1.5" },
        { ".5", "0.5" },
        { "2.", "2.0" },
        { "1e3", "1000.0" },
        { "-2.5e-3", "-0.0025" },
        { "abc", "ABC" },
        { "nil", "nil" },
        { "NIL", "nil" },
        { "t", "T" },
        { "1+", "1+" },
        { "\"a\\\"b\"", "\"a\\\"b\"" },
        { "\"tab\\there\"", "\"tab\\there\"" },
        { "\"\\101\\e\"", "\"A\\e\"" },
        { "\"back\\\\slash\"", "\"back\\\\slash\"" },
        { "()", "nil" },
        { "(1 (2 3) \"x\")", "(1 (2 3) \"x\")" },
        { "(a . b)", "(A . B)" },
        { "(1 2 . 3)", "(1 2 . 3)" },
        { "'x", "(QUOTE X)" },
        { "'(1 2)", "(QUOTE (1 2))" },
        { "( 1 ;comment\n 2 ;| block\n |; 3)", "(1 2 3)" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(readPrint(c.text), c.printed) << c.text;
}

TEST(Reader, ReportsUnfinishedAndMalformedInput)
{
    struct Case {
        const char* text;
        ReadStatus status;
        const char* message;
    };
    const Case cases[] = {
        { "", ReadStatus::End, "" },
        { "  ; only a comment", ReadStatus::End, "" },
        { "(1 2", ReadStatus::Incomplete, "" },
        { "\"open", ReadStatus::Incomplete, "" },
        { ";| open block", ReadStatus::Incomplete, "" },
        { "'", ReadStatus::Incomplete, "" },
        { ")", ReadStatus::Error, "extra right paren on input" },
        { "(1 . 2 3)", ReadStatus::Error, "malformed list on input" },
        { "'.", ReadStatus::Error, "misplaced dot on input" },
        { "(. a)", ReadStatus::Error, "misplaced dot on input" },
    };
    for (const Case& c : cases) {
        Reader r(c.text);
        Value v;
        std::string message;
        EXPECT_EQ(r.next(v, message), c.status) << c.text;
        EXPECT_EQ(message, c.message) << c.text;
    }
}

TEST(Reader, RefusesNestingBeyondItsLimit)
{
    const std::string deep
        = std::string(READ_DEPTH_LIMIT + 10, '(') + std::string(READ_DEPTH_LIMIT + 10, ')');
    Reader r(deep);
    Value v;
    std::string message;
    EXPECT_EQ(r.next(v, message), ReadStatus::Error);
    EXPECT_EQ(message, "malformed list on input");
}

TEST(Reader, ReadsSeveralExpressionsInOrder)
{
    Reader r("1 (2) \"three\"");
    Value v;
    std::string message;
    std::string seen;
    while (r.next(v, message) == ReadStatus::Ok)
        seen += prin1Form(v) + "|";
    EXPECT_EQ(seen, "1|(2)|\"three\"|");
}

TEST(Printer, PrincShowsStringsAsTheyAre)
{
    const Value v = makeList({ Value::string("a\"b\n"), Value::integer(1) });
    EXPECT_EQ(princForm(v), "(a\"b\n 1)");
    EXPECT_EQ(prin1Form(v), "(\"a\\\"b\\n\" 1)");
    EXPECT_EQ(prin1Form(Value::voidValue()), "");
}

TEST(Printer, RealsKeepSixDigitsAndAPoint)
{
    struct Case {
        double v;
        const char* printed;
    };
    const Case cases[] = { { 3.0, "3.0" }, { 0.1, "0.1" }, { 1.0 / 3, "0.333333" }, { 1e20, "1.0e+20" },
        { -2.5, "-2.5" }, { 123456789.0, "1.23457e+08" } };
    for (const Case& c : cases)
        EXPECT_EQ(formatReal(c.v), c.printed);
}

TEST(Value, LongListsAreReleasedWithoutDeepRecursion)
{
    Value list;
    for (int i = 0; i < 300000; ++i)
        list = Value::cons(Value::integer(i), std::move(list));
    EXPECT_EQ(listLength(list), 300000u);
    list = Value();
    SUCCEED();
}

} // namespace
