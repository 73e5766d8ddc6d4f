// The commands behave alike: several operands where one is natural, names
// that cannot take over a terminal, outputs named with -o and -d, and no
// slide lost without a word.
#include <gtest/gtest.h>

#include <filesystem>

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

    // qorvan with both its outputs on a terminal, as a person sees them.
    RunResult onTerminal(const std::string& args, const std::string& cwd)
    {
        return run("/usr/bin/script",
            { "-qec", "'" + binary("qorvan") + "' " + args + " </dev/null", "/dev/null" }, cwd);
    }

    std::string withoutCarriageReturns(std::string s)
    {
        std::erase(s, '\r');
        return s;
    }

    TEST(CliNames, ControlCharactersAreEscapedOnATerminalOnly)
    {
        if (!fs::exists("/usr/bin/script")) GTEST_SKIP() << "no script(1) for a terminal";
        struct Case {
            std::string name; // as stored
            std::string onTerminal; // as a terminal shows it
        };
        const Case cases[] = {
            { "TITLE\x1b]0;owned\x07", "TITLE\\x1b]0;owned\\x07" }, // retitles the window
            { "RED\x1b[31m", "RED\\x1b[31m" }, // recolours what follows
            { "LINE\nBREAK", "LINE\\x0aBREAK" },
            { "C1\xc2\x9b"
              "31m",
                "C1\\xc2\\x9b31m" }, // UTF-8 for the one-byte CSI
            { "LONE\x9b"
              "31m",
                "LONE\\x9b31m" }, // not UTF-8 at all
            { "CUT\xc3", "CUT\\xc3" }, // a sequence cut short
            { "CAF\xc3\x89", "CAF\xc3\x89" }, // real UTF-8 stays
            { "PLAIN\\NAME", "PLAIN\\NAME" }, // a backslash stays
        };
        TempDir t;
        std::vector<std::pair<std::string, std::string>> slides;
        for (const Case& c : cases)
            slides.push_back({ c.name, slideBytes(10) });
        t.write("odd.slb", makeLibrary(slides));

        std::string raw, escaped;
        for (const Case& c : cases) {
            raw += c.name + "\n";
            escaped += c.onTerminal + "\n";
        }
        RunResult piped = qorvan({ "list", "odd" }, t.str());
        EXPECT_EQ(piped.status, 0) << piped.err;
        EXPECT_EQ(piped.out, raw) << "a pipe gets the names as stored";

        RunResult shown = onTerminal("list odd", t.str());
        EXPECT_EQ(shown.status, 0);
        EXPECT_EQ(withoutCarriageReturns(shown.out), escaped);

        // Messages say the names the same way.
        shown = onTerminal("extract odd \"$(printf 'TITLE\\033')\"", t.str());
        EXPECT_EQ(withoutCarriageReturns(shown.out),
            "qorvan extract: Slide TITLE\\x1b not found in library odd.\n");
        for (const char* command : { "info odd", "check odd" }) {
            shown = onTerminal(command, t.str());
            EXPECT_NE(shown.out.find("RED\\x1b[31m"), std::string::npos) << command << "\n" << shown.out;
            EXPECT_EQ(shown.out.find('\x1b'), std::string::npos) << command << "\n" << shown.out;
        }
    }

    TEST(CliNames, ListAndInfoTakeSeveralOperands)
    {
        TempDir t;
        t.write("a.slb", makeLibrary({ { "BOX", slideBytes(10) }, { "GEAR", slideBytes(20) } }));
        t.write("b.slb", makeLibrary({ { "PIN", slideBytes(30) } }));
        t.write("empty.slb", makeLibrary({}));
        t.write("pin.sld", slideBytes(30));
        const std::string pin
            = "{\"name\": \"PIN\", \"offset\": 104, \"size\": " + std::to_string(slideBytes(30).size()) + "}";

        struct Case {
            std::vector<std::string> args;
            int status;
            std::string out;
            std::string err;
        };
        const Case cases[] = {
            { { "list", "a" }, 0, "BOX\nGEAR\n", "" },
            { { "list", "a", "b" }, 0, "a:\nBOX\nGEAR\n\nb:\nPIN\n", "" },
            { { "list", "a", "nosuch", "empty", "b" }, 1, "a:\nBOX\nGEAR\n\nempty:\n\nb:\nPIN\n",
                "qorvan list: nosuch: cannot open nosuch.slb: No such file or directory\n" },
            { { "list", "a", "pin.sld" }, 1, "a:\nBOX\nGEAR\n",
                "qorvan list: pin.sld is a slide, not a slide library (qorvan info pin.sld describes it; "
                "qorvan append LIB pin.sld puts it into library LIB)\n" },
            { { "list", "--json", "b" }, 0, "[\n  " + pin + "\n]\n", "" },
            { { "list", "--json", "b", "empty" }, 0,
                "[\n  {\"library\": \"b\", \"slides\": [\n    " + pin
                    + "\n  ]},\n  {\"library\": \"empty\", \"slides\": []}\n]\n",
                "" },
            { { "list", "--json", "nosuch", "nosuch2" }, 1, "[]\n",
                "qorvan list: nosuch: cannot open nosuch.slb: No such file or directory\n"
                "qorvan list: nosuch2: cannot open nosuch2.slb: No such file or directory\n" },
        };
        for (const Case& c : cases) {
            std::string shown;
            for (const std::string& a : c.args)
                shown += a + " ";
            SCOPED_TRACE(shown);
            RunResult r = qorvan(c.args, t.str());
            EXPECT_EQ(r.status, c.status);
            EXPECT_EQ(r.out, c.out);
            EXPECT_EQ(r.err, c.err);
        }

        // info: each operand's own description, in order, with the failures said.
        RunResult one = qorvan({ "info", "b.slb" }, t.str());
        RunResult two = qorvan({ "info", "pin.sld" }, t.str());
        ASSERT_EQ(one.status, 0);
        ASSERT_EQ(two.status, 0);
        RunResult both = qorvan({ "info", "b.slb", "nosuch.sld", "pin.sld" }, t.str());
        EXPECT_EQ(both.status, 1);
        EXPECT_EQ(both.out, one.out + "\n" + two.out);
        EXPECT_EQ(both.err,
            "qorvan info: nosuch.sld: no such slide or library (tried it as written, with .SLD and with "
            ".slb)\n");
        RunResult jsonOne = qorvan({ "info", "--json", "b.slb" }, t.str());
        RunResult jsonTwo = qorvan({ "info", "--json", "pin.sld" }, t.str());
        RunResult jsonBoth = qorvan({ "info", "--json", "b.slb", "pin.sld" }, t.str());
        EXPECT_EQ(jsonBoth.status, 0);
        jsonOne.out.pop_back();
        jsonTwo.out.pop_back();
        EXPECT_EQ(jsonBoth.out, "[\n" + jsonOne.out + ",\n" + jsonTwo.out + "\n]\n");
    }

    TEST(CliNames, ExplodeSaysWhichSlideOfARepeatedNameWasNotWritten)
    {
        TempDir t;
        const std::string first = slideBytes(10), second = slideBytes(20), third = slideBytes(30);
        t.write("dup.slb", makeLibrary({ { "BOX", first }, { "GEAR", second }, { "box", third } }));
        RunResult r = qorvan({ "explode", "dup", "-d", "out" }, t.str());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err,
            "qorvan explode: dup: slide 3, box, was not written: slide 1 has the same name, and out/BOX.SLD "
            "holds that one (qorvan salvage dup -d DIR writes every slide, a second of one name as "
            "NAME~1.SLD)\n");
        EXPECT_EQ(readFile(t.path() / "out/BOX.SLD"), first);
        EXPECT_EQ(readFile(t.path() / "out/GEAR.SLD"), second);

        t.write("fine.slb", makeLibrary({ { "BOX", first }, { "GEAR", second } }));
        r = qorvan({ "explode", "fine", "-d", "out2" }, t.str());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
    }

    TEST(CliNames, ThumbnailNamesItsOutputWithOAsWell)
    {
        TempDir t;
        t.write("box.sld", slideBytes(100));
        EXPECT_EQ(qorvan({ "thumbnail", "box.sld", "-o", "a.png" }, t.str()).status, 0);
        EXPECT_EQ(qorvan({ "thumbnail", "box.sld", "b.png" }, t.str()).status, 0);
        EXPECT_EQ(readFile(t.path() / "a.png"), readFile(t.path() / "b.png"));
        RunResult both = qorvan({ "thumbnail", "box.sld", "c.png", "-o", "d.png" }, t.str());
        EXPECT_EQ(both.status, 2);
        EXPECT_NE(both.err.find("give one"), std::string::npos) << both.err;
        EXPECT_FALSE(fs::exists(t.path() / "c.png"));
        EXPECT_FALSE(fs::exists(t.path() / "d.png"));
    }

    // A stored name that looks like the name a repeated one would be given
    // keeps its own file, and so does the repeated one: as many files as
    // slides, each holding its own slide.
    TEST(CliNames, OutputNamesOfAWholeSetNeverCollide)
    {
        TempDir t;
        const std::string a = slideBytes(10), b = slideBytes(20), c = slideBytes(30), d = slideBytes(40);
        t.write("lib.slb", makeLibrary({ { "A/B", a }, { "A_B", b }, { "A_B~1", c }, { "a:b", d } }));
        const struct {
            std::vector<std::string> args;
            const char* extension; // of the file whose bytes are the slide's own, or null
        } cases[] = {
            { { "render", "lib", "--all", "-d", "out" }, nullptr },
            { { "convert", "lib", "--all", "-d", "out" }, nullptr },
            { { "salvage", "lib.slb", "-d", "out" }, ".SLD" },
        };
        for (const auto& k : cases) {
            SCOPED_TRACE(k.args[0]);
            fs::remove_all(t.path() / "out");
            RunResult r = qorvan(k.args, t.str());
            ASSERT_EQ(r.status, 0) << r.err;
            std::vector<std::string> files;
            for (const auto& e : fs::directory_iterator(t.path() / "out"))
                files.push_back(e.path().filename().string());
            EXPECT_EQ(files.size(), 4u);
            // The slide stored as A_B~1 is the one in A_B~1's file.
            if (k.extension) {
                EXPECT_EQ(readFile(t.path() / "out" / (std::string("A_B~1") + k.extension)), c);
            }
        }
        fs::remove_all(t.path() / "out");
        ASSERT_EQ(qorvan({ "render", "lib", "--all", "-d", "out" }, t.str()).status, 0);
        ASSERT_EQ(qorvan({ "render", "lib(A_B~1)", "-o", "third.png" }, t.str()).status, 0);
        EXPECT_EQ(readFile(t.path() / "out/A_B~1.png"), readFile(t.path() / "third.png"));
    }

    // No command writes over what it reads, whatever name reaches the file.
    TEST(CliNames, OutputThatIsOneOfTheInputsIsRefused)
    {
        TempDir t;
        t.write("box.sld", slideBytes(50));
        t.write("lib.slb", makeLibrary({ { "BOX", slideBytes(50) } }));
        t.write("ok.svg",
            "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'>"
            "<path d='M0 0 L10 10' stroke='black'/></svg>");
        ASSERT_EQ(qorvan({ "dump", "box.sld", "-o", "box.txt" }, t.str()).status, 0);
        fs::create_hard_link(t.path() / "box.sld", t.path() / "hard.png");
        // make names its outputs .sld or .slb, so its input is reached through a link of that name.
        fs::create_hard_link(t.path() / "ok.svg", t.path() / "ok.sld");
        const struct {
            std::vector<std::string> args;
            const char* input;
        } cases[] = {
            { { "thumbnail", "lib.slb", "lib.slb" }, "lib.slb" },
            { { "render", "box.sld", "-o", "hard.png" }, "box.sld" },
            { { "convert", "box.sld", "-o", "./box.sld" }, "box.sld" },
            { { "dump", "box.sld", "-o", "box.sld" }, "box.sld" },
            { { "build", "box.txt", "-o", "box.txt" }, "box.txt" },
            { { "make", "ok.svg", "-o", "ok.sld" }, "ok.svg" },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.args[0] + " " + c.args.back());
            const std::string before = readFile(t.path() / c.input);
            RunResult r = qorvan(c.args, t.str());
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find("one of the command's inputs"), std::string::npos) << r.err;
            EXPECT_EQ(readFile(t.path() / c.input), before);
        }
    }

} // namespace
} // namespace qorvan::testing
