// Files that are there already: extract and explode say which they replace,
// leave them with -n and ask with -i, as cp does; make refuses a name that
// says another format and says what it replaced.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/support.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    namespace fs = std::filesystem;

    std::string slideOf(int width)
    {
        return SlideBytes::newForm(width, 100).vector(0, 0, width, 100).end().b;
    }

    TEST(CliOverwrite, ExtractAndExplodeSayWhatTheyReplace)
    {
        const std::string box = slideOf(10), gear = slideOf(20);
        struct Row {
            std::vector<std::string> args;
            std::string input; // standard input, for -i
            bool boxReplaced;
            const char* said; // on standard error
        } rows[] = {
            { { "explode", "lib", "-d", "out" }, "", true, "qorvan explode: replaced out/box.sld" },
            { { "extract", "lib", "box", "gear", "-d", "out" }, "", true,
                "qorvan extract: replaced out/box.sld" },
            { { "explode", "lib", "-d", "out", "-n" }, "", false,
                "qorvan explode: out/box.sld is there already: not replaced" },
            { { "extract", "lib", "BOX", "gear", "-d", "out", "--no-clobber" }, "", false, "not replaced" },
            { { "explode", "lib", "-d", "out", "-i" }, "n\n", false,
                "qorvan explode: replace out/box.sld? " },
            { { "explode", "lib", "-d", "out", "-i" }, "y\n", true, "qorvan explode: replaced out/box.sld" },
            { { "extract", "lib", "box", "gear", "-d", "out", "-i" }, "", false, "replace out/box.sld? " },
        };
        for (const Row& r : rows) {
            SCOPED_TRACE(r.args[0] + " " + r.args.back() + " <" + r.input);
            TempDir t;
            t.write("lib.slb", makeLibrary({ { "BOX", box }, { "GEAR", gear } }));
            t.write("out/box.sld", "mine");
            const RunResult got = run(binary("qorvan"), r.args, t.str(), r.input);
            EXPECT_EQ(got.status, 0) << got.err;
            EXPECT_NE(got.err.find(r.said), std::string::npos) << got.err;
            // The file found without regard to case is the one replaced or kept.
            EXPECT_EQ(readFile(t.path() / "out/box.sld"), r.boxReplaced ? box : "mine");
            EXPECT_FALSE(fs::exists(t.path() / "out/BOX.SLD"));
            EXPECT_EQ(readFile(t.path() / "out/GEAR.SLD"), gear);
            EXPECT_EQ(got.err.find("GEAR"), std::string::npos) << "a new file is no news: " << got.err;
        }
        TempDir t;
        t.write("lib.slb", makeLibrary({ { "BOX", box } }));
        RunResult both = qorvan({ "explode", "lib", "-n", "-i" }, t.str());
        EXPECT_EQ(both.status, 2) << both.err;
    }

    TEST(CliOverwrite, MakeRefusesAnotherFormatsNameAndSaysWhatItReplaced)
    {
        TempDir t;
        t.write("d.svg",
            "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'>"
            "<line x1='0' y1='0' x2='10' y2='10' stroke='black'/></svg>");
        for (const char* out : { "out.png", "out.svg", "plan.dxf", "notes.txt" }) {
            RunResult r = qorvan({ "make", "d.svg", "-o", out }, t.str());
            EXPECT_EQ(r.status, 2) << out;
            EXPECT_NE(r.err.find("make writes slides"), std::string::npos) << r.err;
            EXPECT_FALSE(fs::exists(t.path() / out));
        }
        t.write("plan.sld", "old");
        RunResult r = qorvan({ "make", "d.svg", "-o", "PLAN.SLD" }, t.str());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("qorvan make: replaced plan.sld"), std::string::npos) << r.err;
        EXPECT_NE(readFile(t.path() / "plan.sld"), "old");
        RunResult fresh = qorvan({ "make", "d.svg", "-o", "new.sld" }, t.str());
        EXPECT_EQ(fresh.status, 0) << fresh.err;
        EXPECT_EQ(fresh.err.find("replaced"), std::string::npos) << fresh.err;
    }

} // namespace
} // namespace qorvan::testing
