// What a person meets at the shell: output that cannot be written is an
// error, batch edits are all or nothing, append checks what it is given.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "store/library.h"
#include "tests/cli/support.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    namespace fs = std::filesystem;

    std::string slideBytes(int width)
    {
        return SlideBytes::newForm(width, 100).vector(0, 0, width, 100).end().b;
    }

    struct Shell : TempDir {
        RunResult q(const std::vector<std::string>& args) const { return qorvan(args, str()); }
        // A program whose standard output is redirected by the shell.
        RunResult sh(const std::string& command) const { return run("/bin/sh", { "-c", command }, str()); }
        std::string file(const std::string& rel) const { return readFile(path() / rel); }
        std::vector<std::string> files() const
        {
            std::vector<std::string> out;
            for (const auto& e : fs::directory_iterator(path())) out.push_back(e.path().filename().string());
            std::sort(out.begin(), out.end());
            return out;
        }
    };

    TEST(CliHabits, OutputThatCannotBeWrittenIsAnError)
    {
        if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
        Shell s;
        s.write("parts.slb", makeLibrary({ { "BOX", slideBytes(10) }, { "GEAR", slideBytes(20) } }));
        const std::string qorvanBin = binary("qorvan");
        const std::string console = binary("qorvan-console");
        struct Case {
            std::string command;
            std::string program;
        };
        const Case cases[] = {
            { "'" + qorvanBin + "' list parts > /dev/full", "qorvan" },
            { "'" + qorvanBin + "' list --json parts > /dev/full", "qorvan" },
            { "'" + qorvanBin + "' --help > /dev/full", "qorvan" },
            { "'" + console + "' --no-default-module -e '(+ 1 2)' > /dev/full", "qorvan-console" },
        };
        for (const Case& c : cases) {
            RunResult r = s.sh(c.command);
            EXPECT_EQ(r.status, 1) << c.command;
            EXPECT_EQ(r.err, c.program + ": cannot write standard output: No space left on device\n")
                << c.command;
        }
        // The same commands into a pipe that reads everything succeed.
        EXPECT_EQ(s.q({ "list", "parts" }).status, 0);
    }


// The names of a library file, in order, as qorvan lists them.
std::string names(const Shell& s, const std::string& lib)
{
    RunResult r = s.q({"list", lib});
    return r.status == 0 ? r.out : "(list failed: " + r.err + ")";
}

TEST(CliBatch, SeveralSlidesGoInTogetherOrNotAtAll)
{
    Shell s;
    for (const char* n : {"box", "gear", "pin"}) s.write(std::string(n) + ".sld", slideBytes(10 + n[0]));
    s.write("parts.slb", makeLibrary({{"PIN", slideBytes(5)}}));
    const std::string before = s.file("parts.slb");

    // PIN is there already: without --keep-going nothing changes.
    RunResult r = s.q({"append", "parts", "box.sld", "pin", "gear"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "qorvan append: pin: Slide PIN already exists in library parts.\n"
                     "qorvan append: parts unchanged (--keep-going does what it can)\n");
    EXPECT_EQ(s.file("parts.slb"), before);
    EXPECT_EQ(s.files(), (std::vector<std::string>{"box.sld", "gear.sld", "parts.slb", "pin.sld"}));

    // With it, the others go in, in the order given.
    r = s.q({"append", "--keep-going", "parts", "box.sld", "pin", "nosuch", "gear"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qorvan append: pin: Slide PIN already exists in library parts.\n"
                     "qorvan append: nosuch: \"nosuch.SLD\": Can't open file\n"
                     "qorvan append: 2 of 4 slide files appended; 2 left out\n");
    EXPECT_EQ(names(s, "parts"), "PIN\nBOX\nGEAR\n");
    EXPECT_EQ(s.file("parts.slb"), makeLibrary({{"PIN", slideBytes(5)},
                                                {"BOX", s.file("box.sld")},
                                                {"GEAR", s.file("gear.sld")}}));
}

TEST(CliBatch, ANameGivenTwiceIsADuplicate)
{
    Shell s;
    s.write("box.sld", slideBytes(10));
    fs::create_directories(s.path() / "other");
    s.write("other/BOX.SLD", slideBytes(20));
    RunResult r = s.q({"append", "new", "box.sld", "other/BOX.SLD"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("other/BOX.SLD: Slide BOX already exists in library new."), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(s.path() / "new.slb"));
}

TEST(CliBatch, DeleteReplaceAndRemoveTakeSeveralNames)
{
    Shell s;
    const std::string a = slideBytes(11), b = slideBytes(12), c = slideBytes(13), d = slideBytes(14);
    s.write("parts.slb", makeLibrary({{"A", a}, {"B", b}, {"C", c}, {"D", d}}));

    RunResult r = s.q({"delete", "parts", "a", "nosuch", "C"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(names(s, "parts"), "A\nB\nC\nD\n");
    r = s.q({"delete", "-k", "parts", "a", "nosuch", "C"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qorvan delete: nosuch: Slide nosuch not found in library parts.\n"
                     "qorvan delete: 2 of 3 slides deleted; 1 left out\n");
    EXPECT_EQ(s.file("parts.slb"), makeLibrary({{"B", b}, {"D", d}}));

    const std::string newB = slideBytes(40), e = slideBytes(41);
    s.write("b.sld", newB);
    s.write("e.sld", e);
    r = s.q({"replace", "parts", "e.sld", "b"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(s.file("parts.slb"), makeLibrary({{"D", d}, {"E", e}, {"B", newB}}));

    r = s.q({"remove", "parts", "d", "b", "-d", "out"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(s.file("out/D.SLD"), d);
    EXPECT_EQ(s.file("out/B.SLD"), newB);
    EXPECT_EQ(s.file("parts.slb"), makeLibrary({{"E", e}}));
}

} // namespace
} // namespace qorvan::testing
