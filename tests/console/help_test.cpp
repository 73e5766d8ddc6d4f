// help: every function the interpreter defines is listed with its summary,
// module functions under their module; the cancel check abandons an
// evaluation with the host's message and leaves the interpreter usable.
#include "console/help.h"
#include "console/interpreter.h"
#include "console/interrupt.h"
#include "console/printer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

using namespace qorvan::console;

namespace {

TEST(Help, EveryBuiltinHasASummaryThatStartsWithItsCall)
{
    Interpreter in;
    int functions = 0;
    for (Symbol* s : internedSymbols()) {
        if (!s->value.isFunction()) continue;
        ++functions;
        const std::string_view summary = functionSummary(s->name);
        ASSERT_FALSE(summary.empty()) << s->name << " has no line in help";
        // "(name ..." in lower case, or "(quote X) or 'X".
        std::string lower = s->name;
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        EXPECT_EQ(summary.substr(0, lower.size() + 1), "(" + lower) << summary;
        EXPECT_NE(summary.find("  "), std::string_view::npos) << summary;
    }
    EXPECT_GT(functions, 50);
}

TEST(Help, ListsFunctionsAndCommandsOnOneLineEach)
{
    Interpreter in;
    const std::string text = helpText();
    for (const char* line : { "\n  (car LIST)", "\n  (help)", "\n  (setq VAR VALUE...)" })
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_NE(text.find("Commands (type the name alone): HELP, QUIT"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    // Nothing of a module without one loaded.
    EXPECT_EQ(text.find("slb-append"), std::string::npos);
}

TEST(Help, LookupIgnoresCaseAndKnowsNothingElse)
{
    EXPECT_EQ(functionSummary("slb-list"), functionSummary("SLB-LIST"));
    EXPECT_FALSE(functionSummary("slb-list").empty());
    EXPECT_TRUE(functionSummary("no-such-function").empty());
    EXPECT_TRUE(functionSummary("").empty());
}

TEST(Interrupt, CtrlCAbandonsTheEvaluationAndIsForgottenAfterwards)
{
    Interpreter in;
    InterruptGuard guard;
    std::raise(SIGINT);
    try {
        in.evalText("(repeat 10 (setq n 1))");
        FAIL() << "no cancel";
    } catch (const LispError& e) {
        EXPECT_STREQ(e.what(), "Function cancelled");
    }
    EXPECT_EQ(prin1Form(in.evalText("(+ 1 2)")), "3");
    EXPECT_FALSE(takeInterrupt());
}

} // namespace
