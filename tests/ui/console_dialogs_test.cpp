// qorvan-console with qorvan.arx as a black box: slb-view and QORVAN open
// their dialogs (closed again at once by the test seam, which prints what
// each showed), and without a display both say so and return nil.
#include "tests/e2e/run.h"
#include "tests/support/tempdir.h"
#include "tests/ui/sample_slides.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace qorvan::testing;

const std::string CONSOLE = binary("qorvan-console");

// Runs the console with the default module, in dir, with only the display
// variables given (the rest of the environment kept).
RunResult console(const std::vector<std::string>& display, const std::vector<std::string>& args,
    const std::string& dir, const std::string& input = "")
{
    std::vector<std::string> all = { "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM" };
    all.insert(all.end(), display.begin(), display.end());
    all.push_back(CONSOLE);
    all.insert(all.end(), args.begin(), args.end());
    return run("/usr/bin/env", all, dir, input);
}

const std::vector<std::string> OFFSCREEN = { "QT_QPA_PLATFORM=offscreen", "QORVAN_TEST_CLOSE_DIALOGS=1" };

class ConsoleDialogs : public ::testing::Test {
protected:
    void SetUp() override { tmp.write("plan.sld", sampleSlide("house.sld")); }
    TempDir tmp;
};

TEST_F(ConsoleDialogs, SlbViewReadsItsArgumentsWithTheirDefaults)
{
    struct {
        const char* expr;
        const char* shown;
    } cases[] = {
        { "(slb-view \"plan\")", "dialog 141 \"PLAN\"" },
        { "(slb-view \"plan\" \"Floor\" 600)", "dialog 141 \"Floor\"" },
        { "(slb-view \"plan\" \"Floor\" 600.0 400)", "dialog 141 \"Floor\"" },
        { "(slb-view \"plan\" 7 200 100)", "dialog 141 \"PLAN\"" },
    };
    const char* pictures[]
        = { "picture 1049 420x300", "picture 1049 600x300", "picture 1049 420x400", "picture 1049 200x100" };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        RunResult r = console(OFFSCREEN, { "-e", cases[i].expr }, tmp.str());
        EXPECT_EQ(r.status, 0) << cases[i].expr << r.err;
        EXPECT_NE(r.err.find(cases[i].shown), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(pictures[i]), std::string::npos) << r.err;
        EXPECT_NE(r.out.find("\nQorvan & Library Handling Functions"), std::string::npos);
        // No value: nothing printed after the banner but a newline.
        EXPECT_EQ(r.out.find("nil\n"), std::string::npos) << r.out;
    }
    RunResult mismatch = console(OFFSCREEN, { "-e", "(slb-view \"plan\" 7)" }, tmp.str());
    EXPECT_NE(mismatch.out.find("getAtom : type mismatched! (5003)"), std::string::npos) << mismatch.out;
}

TEST_F(ConsoleDialogs, SlbViewArgumentErrorsShowNoDialog)
{
    RunResult none = console(OFFSCREEN, { "-e", "(slb-view)" }, tmp.str());
    EXPECT_NE(none.out.find("\nerror: to few arguments\n"), std::string::npos) << none.out;
    EXPECT_NE(none.out.find("nil\n"), std::string::npos);
    EXPECT_EQ(none.err.find("dialog"), std::string::npos);
    RunResult bad = console(OFFSCREEN, { "-e", "(slb-view 12)" }, tmp.str());
    EXPECT_NE(bad.out.find("\nerror: invalid argument\n"), std::string::npos) << bad.out;
    EXPECT_EQ(bad.err.find("dialog"), std::string::npos);
}

TEST_F(ConsoleDialogs, QorvanAsFunctionAndAsCommandTwice)
{
    RunResult f = console(OFFSCREEN, { "-e", "(QORVAN)" }, tmp.str());
    EXPECT_EQ(f.status, 0) << f.err;
    EXPECT_NE(f.err.find("dialog 142 \"Qorvan : Version 1.5\""), std::string::npos) << f.err;
    EXPECT_NE(f.out.find("\nRVK portions created on Sep 23 1999, 03:59:38"), std::string::npos);

    RunResult c = console(OFFSCREEN, {}, tmp.str(), "QORVAN\nQORVAN\n");
    std::size_t first = c.err.find("dialog 142");
    ASSERT_NE(first, std::string::npos) << c.err;
    EXPECT_NE(c.err.find("dialog 142", first + 1), std::string::npos) << c.err;
}

TEST_F(ConsoleDialogs, WithoutADisplayBothSaySoAndReturnNil)
{
    RunResult view = console({}, { "-e", "(slb-view \"plan\")" }, tmp.str());
    EXPECT_EQ(view.status, 0) << view.err;
    EXPECT_NE(view.out.find("\nerror: no display for the dialog"), std::string::npos) << view.out;
    EXPECT_NE(view.out.find("nil\n"), std::string::npos) << view.out;
    // The command called as a function has no value whatever its handler did.
    RunResult manager = console({}, { "-e", "(QORVAN)" }, tmp.str());
    EXPECT_EQ(manager.status, 0) << manager.err;
    EXPECT_NE(manager.out.find("\nerror: no display for the dialog"), std::string::npos) << manager.out;
    EXPECT_EQ(manager.err.find("dialog 142"), std::string::npos);
}

} // namespace
