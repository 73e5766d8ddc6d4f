// qorvan.arx as a host sees it: its exports, the start banner, the position
// file, the command QORVAN and slb-view before the dialogs exist.
#include "tests/e2e/module_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

using namespace qorvan::testing;
namespace fs = std::filesystem;

namespace {

const std::string NO_DISPLAY = "\nerror: no display";

// The host's three, and the clean-up a host that dies of a signal calls.
TEST(Module, ExportsOnlyTheEntryPoints)
{
    const RunResult r = run("/usr/bin/nm", { "-D", "--defined-only", binary("qorvan.arx") });
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> names;
    std::istringstream lines(r.out);
    std::string address, kind, name;
    while (lines >> address >> kind >> name)
        names.insert(name);
    EXPECT_EQ(names,
        (std::set<std::string> {
            "acrxEntryPoint", "acrxGetApiVersion", "_SetacrxPtp", "qorvanRemoveTemporaries" }));
}

TEST(Module, PrintsTheToolkitBannerAtStartAndNothingAtTheEnd)
{
    SampleDir dir;
    const RunResult r = run(binary("qorvan-console"), {}, dir.str(), "");
    EXPECT_EQ(r.out, TOOLKIT_BANNER);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

TEST(Module, PositionFileIsNormalisedAtUnloadOnlyWhenNamesWereRead)
{
    struct Case {
        const char* file;
        const char* after;
    };
    const Case cases[] = {
        { "a = 1,2\na = 3,4\n", "a = 3,4\n" },
        { "door=10,20\n", "door=10,20\n" },
        { "win = 5,6\njunk\ndoor = 1,-2\n", "win = 5,6\ndoor = 1,-2\n" },
    };
    for (const Case& c : cases) {
        SampleDir dir;
        dir.write("RVK_DCL.CFG", c.file);
        run(binary("qorvan-console"), { "-e", "1" }, dir.str());
        EXPECT_EQ(readFile(dir.path() / "RVK_DCL.CFG"), c.after) << c.file;
    }
    SampleDir empty;
    run(binary("qorvan-console"), { "-e", "1" }, empty.str());
    EXPECT_FALSE(fs::exists(empty.path() / "RVK_DCL.CFG")) << "a missing file is not created";
}

// Without a display the dialogs cannot open: both say so after the module
// banner and give nil (QORVAN as a function gives no value).
bool saysNoDisplay(const std::string& text, std::size_t from)
{
    return text.compare(from, NO_DISPLAY.size(), NO_DISPLAY) == 0;
}

TEST(Module, QorvanAndSlbViewWithoutADisplay)
{
    SampleDir dir;
    RunResult r = module({ "(slb-view \"samples(box)\")" }, dir.str());
    ASSERT_EQ(r.out.rfind(TOOLKIT_BANNER + BANNER, 0), 0u) << r.out;
    EXPECT_TRUE(saysNoDisplay(r.out, TOOLKIT_BANNER.size() + BANNER.size())) << r.out;
    EXPECT_TRUE(r.out.ends_with("\nnil\n")) << r.out;

    // Called from AutoLISP the command prints the toolkit banner first and
    // returns no value.
    r = module({ "(qorvan)" }, dir.str());
    ASSERT_EQ(r.out.rfind(TOOLKIT_BANNER + TOOLKIT_BANNER + BANNER, 0), 0u) << r.out;
    EXPECT_TRUE(saysNoDisplay(r.out, 2 * TOOLKIT_BANNER.size() + BANNER.size())) << r.out;
    EXPECT_FALSE(r.out.ends_with("nil\n")) << r.out;

    // Typed as a command it runs through the command stack directly, once
    // each time.
    r = run(binary("qorvan-console"), {}, dir.str(), "QORVAN\nqorvan\n(command \"QORVAN\")\n");
    std::size_t banners = 0;
    for (std::size_t at = r.out.find(BANNER); at != std::string::npos; at = r.out.find(BANNER, at + 1))
        ++banners;
    EXPECT_EQ(banners, 3u) << r.out;
    EXPECT_EQ(r.out.rfind(TOOLKIT_BANNER + BANNER, 0), 0u) << r.out;
    EXPECT_TRUE(r.out.ends_with("\nnil\n")) << "(command) gives nil: " << r.out;
    EXPECT_EQ(r.err, "");
}

TEST(Module, ArxunloadThenArxloadDefinesTheFunctionsAgain)
{
    SampleDir dir;
    const RunResult r = module(
        { "(arxunload \"qorvan\")", "(slb-error)", "(arxload \"qorvan\")", "(slb-error)" }, dir.str());
    EXPECT_EQ(r.out, TOOLKIT_BANNER + "\"qorvan\"\n" + TOOLKIT_BANNER + "\"qorvan\"\n\"\"\n");
    EXPECT_EQ(r.err, "; error: no function definition: SLB-ERROR\n");
}

} // namespace
