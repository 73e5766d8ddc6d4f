// qorvan-console as a black box, with the probe module: start and end
// messages, value printing, errors and exit status, scripts, standard input,
// commands, arxload and arxunload, and the conversions of values both ways.
#include "tests/e2e/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>

using qorvan::testing::binary;
using qorvan::testing::run;
using qorvan::testing::RunResult;
using qorvan::testing::TempDir;

namespace {

const std::string CONSOLE = binary("qorvan-console");
const std::string PROBE = std::string(QORVAN_BINARY_DIR) + "/tests/e2e/probe.arx";
const std::string PROBE_LOCKED = std::string(QORVAN_BINARY_DIR) + "/tests/e2e/probe_locked.arx";
const std::string PROBE_OLD = std::string(QORVAN_BINARY_DIR) + "/tests/e2e/probe_oldapi.arx";

const std::string START = "[probe message 1]\n[probe message 3]\n";
const std::string END = "[probe message 4]\n[probe message 2]\n";

RunResult console(std::vector<std::string> args, const std::string& input = "", const std::string& cwd = "")
{
    std::vector<std::string> all = { "--no-default-module", "--module", PROBE };
    all.insert(all.end(), args.begin(), args.end());
    return run(CONSOLE, all, cwd, input);
}

TEST(Console, SendsStartAndEndMessagesAroundTheSession)
{
    const RunResult r = console({ "-e", "(+ 1 2)" });
    EXPECT_EQ(r.out, START + "3\n" + END);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

TEST(Console, PrintsEachValueOnALineOfItsOwn)
{
    struct Case {
        const char* expr;
        const char* out;
    };
    const Case cases[] = {
        { "(list \"BOX\" \"CIRCLE\")", "(\"BOX\" \"CIRCLE\")\n" },
        { "nil", "nil\n" },
        { "\"text\"", "\"text\"\n" },
        { "(princ)", "" },
        { "(princ \"no newline\")", "no newline\n\"no newline\"\n" },
        { "(princ \"ends\\n\")", "ends\n\"ends\\n\"\n" },
        { "1 2", "1\n2\n" },
        { "(probe-void)", "" },
        { "(probe-nothing)", "nil\n" },
        { "(probe-str)", "\"probe \\\"text\\\"\"\n" },
    };
    for (const Case& c : cases) {
        const RunResult r = console({ "-e", c.expr });
        EXPECT_EQ(r.out, START + c.out + END) << c.expr;
        EXPECT_EQ(r.status, 0) << c.expr;
    }
}

TEST(Console, ArgumentsReachTheModuleAndComeBackUnchanged)
{
    struct Case {
        const char* expr;
        const char* value;
    };
    const Case cases[] = {
        { "(probe-args 1 -32768 32767)", "(1 -32768 32767)" },
        { "(probe-args 32768 -40000 100000)", "(32768 -40000 100000)" },
        { "(probe-args 2.5 \"s\" nil T)", "(2.5 \"s\" nil T)" },
        { "(probe-args '(1 (2 3)) \"b\")", "((1 (2 3)) \"b\")" },
        { "(probe-args '(1 . 2))", "((1 . 2))" },
        { "(probe-args)", "nil" },
        { "(probe-bad-list)", "((7))" },
    };
    for (const Case& c : cases) {
        const RunResult r = console({ "-e", c.expr });
        EXPECT_EQ(r.out, START + c.value + "\n" + END) << c.expr;
    }
}

TEST(Console, ErrorsGoToStandardErrorAndSetTheExitStatus)
{
    const RunResult r = console({ "-e", "(car 1)", "-e", "(+ 1 1)" });
    EXPECT_EQ(r.out, START + "2\n" + END) << "the next -e still runs";
    EXPECT_EQ(r.err, "; error: bad argument type: listp 1\n");
    EXPECT_EQ(r.status, 1);

    const RunResult unbalanced = console({ "-e", "(+ 1" });
    EXPECT_EQ(unbalanced.err, "; error: malformed list on input\n");
    EXPECT_EQ(unbalanced.status, 1);

    const RunResult symbol = console({ "-e", "(probe-args 'sym)" });
    EXPECT_EQ(symbol.err, "; error: bad argument type: SYM\n");
}

TEST(Console, ScriptPrintsOnlyWhatItPrintsAndStopsAtAnError)
{
    TempDir dir;
    dir.write("ok.lsp", "(setq a 5)\n(princ a)\n(terpri)\n(* a 2)\n");
    RunResult r = console({ dir.str("ok.lsp") });
    EXPECT_EQ(r.out, START + "5\n" + END);
    EXPECT_EQ(r.status, 0);

    dir.write("bad.lsp", "(princ \"before\")\n(/ 1 0)\n(princ \"after\")\n");
    r = console({ dir.str("bad.lsp") });
    EXPECT_EQ(r.out, START + "before" + END);
    EXPECT_EQ(r.err, "; error: divide by zero\n");
    EXPECT_EQ(r.status, 1);

    r = console({ dir.str("missing.lsp") });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("; error: LOAD failed"), std::string::npos);
}

TEST(Console, LoadEvaluatesAFileAndReturnsItsLastValue)
{
    TempDir dir;
    dir.write("lib.lsp", "(defun twice (x) (* 2 x))\n(twice 4)\n");
    const RunResult r
        = console({ "-e", "(load \"lib\")", "-e", "(twice 21)", "-e", "(load \"nope\" 'missing)", "-e",
                      "(findfile \"lib.lsp\")", "-e", "(findfile \"nope.lsp\")" },
            "", dir.str());
    EXPECT_EQ(r.out, START + "8\n42\nMISSING\n\"lib.lsp\"\nnil\n" + END);
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(Console, StandardInputTakesExpressionsAndCommands)
{
    const RunResult r = console({},
        "(+ 1\n 2)\nPROBE\nprobe\n\n(command \"PROBE\")\nNOSUCH\n(car 1)\n(princ \"x\")\nQUIT\n(+ 5 5)\n");
    EXPECT_EQ(
        r.out, START + "3\nprobe command ran\nprobe command ran\nprobe command ran\nnil\nx\n\"x\"\n" + END);
    EXPECT_EQ(r.err, "Unknown command \"NOSUCH\".\n; error: bad argument type: listp 1\n");
    EXPECT_EQ(r.status, 0) << "errors at the prompt do not change the exit status";
}

TEST(Console, EndOfInputInsideAnExpressionIsReported)
{
    const RunResult r = console({}, "(list 1\n");
    EXPECT_EQ(r.out, START + END);
    EXPECT_EQ(r.err, "; error: malformed list on input\n");
}

TEST(Console, ArxloadAndArxunloadSendTheMessages)
{
    const RunResult r = run(CONSOLE,
        { "--no-default-module", "-e", "(arxload \"" + PROBE + "\")", "-e", "(probe-args 1)", "-e",
            "(arxunload \"probe\")", "-e", "(probe-args 1)" });
    EXPECT_EQ(r.out,
        "[probe message 1]\n[probe message 3]\n\"" + PROBE
            + "\"\n(1)\n[probe message 4]\n"
              "[probe message 2]\n\"probe\"\n");
    EXPECT_EQ(r.err, "; error: no function definition: PROBE-ARGS\n");
}

TEST(Console, ArxloadFailuresAreErrorsUnlessAFallbackIsGiven)
{
    RunResult r = run(CONSOLE, { "--no-default-module", "-e", "(arxload \"" + PROBE_OLD + "\")" });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("API version 0xE0000 is not release 15"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("; error: ARXLOAD failed\n"), std::string::npos);

    r = run(CONSOLE, { "--no-default-module", "-e", "(arxload \"/no/such.arx\" \"fallback\")" });
    EXPECT_EQ(r.out, "\"fallback\"\n");
    EXPECT_EQ(r.status, 0);

    r = console({ "-e", "(arxload \"" + PROBE + "\")" });
    EXPECT_NE(r.err.find("already loaded"), std::string::npos) << r.err;
}

TEST(Console, LockedModuleIsNotUnloadedUntilTheEnd)
{
    const RunResult r = run(CONSOLE,
        { "--no-default-module", "--module", PROBE_LOCKED, "-e", "(arxunload \"probe_locked\")", "-e",
            "(probe-args 2)" });
    EXPECT_EQ(r.out, START + "(2)\n" + END);
    EXPECT_NE(r.err.find("locked"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("; error: ARXUNLOAD failed\n"), std::string::npos);
    EXPECT_EQ(r.status, 1);
}

TEST(Console, StartFailsWhenAModuleCannotBeLoaded)
{
    RunResult r = run(CONSOLE, { "--no-default-module", "--module", "/no/such/module.arx", "-e", "1" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("/no/such/module.arx"), std::string::npos);

    r = run(CONSOLE, { "--no-default-module", "--module", PROBE_OLD, "-e", "1" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
}

TEST(Console, OptionsAndHelp)
{
    RunResult r = run(CONSOLE, { "--help" });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        r.out.rfind(
            "usage: qorvan-console [--module PATH]... [--no-default-module] [-e EXPR]... [SCRIPT.lsp]\n", 0),
        0u);
    r = run(CONSOLE, { "--bogus" });
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown option --bogus"), std::string::npos);
    r = run(CONSOLE, { "-e" });
    EXPECT_EQ(r.status, 2);
    r = run(CONSOLE, { "--no-default-module", "a.lsp", "b.lsp" });
    EXPECT_EQ(r.status, 2);
}

TEST(Console, ModuleFunctionsAreGoneAfterTheirModuleIsUnloaded)
{
    const RunResult r = console({ "-e", "(setq keep probe-args)", "-e", "(arxunload \"probe.arx\")", "-e",
        "(keep 1)", "-e", "(command \"PROBE\")" });
    EXPECT_EQ(r.out, START + "#<EXRXSUBR PROBE-ARGS>\n" + END + "\"probe.arx\"\nnil\n");
    EXPECT_EQ(r.err, "; error: no function definition: PROBE-ARGS\nUnknown command \"PROBE\".\n");
}

} // namespace
