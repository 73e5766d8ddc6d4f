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

const std::string NO_DISPLAY = "\nerror: no display\n";

TEST(Module, ExportsOnlyTheThreeEntryPoints)
{
    const RunResult r = run("/usr/bin/nm", { "-D", "--defined-only", binary("qorvan.arx") });
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> names;
    std::istringstream lines(r.out);
    std::string address, kind, name;
    while (lines >> address >> kind >> name)
        names.insert(name);
    EXPECT_EQ(names, (std::set<std::string> { "acrxEntryPoint", "acrxGetApiVersion", "_SetacrxPtp" }));
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

TEST(Module, QorvanAndSlbViewHaveNoDisplayYet)
{
    SampleDir dir;
    RunResult r = module({ "(slb-view \"samples(box)\")" }, dir.str());
    EXPECT_EQ(r.out, TOOLKIT_BANNER + BANNER + NO_DISPLAY + "nil\n");
    r = module({ "(slb-view)" }, dir.str());
    EXPECT_EQ(r.out, TOOLKIT_BANNER + BANNER + NO_DISPLAY + "nil\n");

    // Called from AutoLISP the command prints the toolkit banner first and
    // returns no value.
    r = module({ "(qorvan)" }, dir.str());
    EXPECT_EQ(r.out, TOOLKIT_BANNER + TOOLKIT_BANNER + BANNER + NO_DISPLAY);

    // Typed as a command it runs through the command stack directly.
    r = run(binary("qorvan-console"), {}, dir.str(), "QORVAN\nqorvan\n(command \"QORVAN\")\n");
    EXPECT_EQ(r.out, TOOLKIT_BANNER + BANNER + NO_DISPLAY + BANNER + NO_DISPLAY + BANNER + NO_DISPLAY + "nil\n");
    EXPECT_EQ(r.err, "");
}

TEST(Module, ArxunloadThenArxloadDefinesTheFunctionsAgain)
{
    SampleDir dir;
    const RunResult r = module({ "(arxunload \"qorvan\")", "(slb-error)", "(arxload \"qorvan\")", "(slb-error)" },
                               dir.str());
    EXPECT_EQ(r.out, TOOLKIT_BANNER + "\"qorvan\"\n" + TOOLKIT_BANNER + "\"qorvan\"\n\"\"\n");
    EXPECT_EQ(r.err, "; error: no function definition: SLB-ERROR\n");
}

} // namespace
