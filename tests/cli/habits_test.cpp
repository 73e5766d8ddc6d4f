// What a person meets at the shell: output that cannot be written is an
// error, batch edits are all or nothing, append checks what it is given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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
            for (const auto& e : fs::directory_iterator(path()))
                out.push_back(e.path().filename().string());
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
        s.write("other.slb", makeLibrary({ { "BOX", slideBytes(30) } }));
        struct Case {
            std::string command;
            std::string program;
            int status = 1;
        };
        const Case cases[] = {
            { "'" + qorvanBin + "' list parts > /dev/full", "qorvan" },
            { "'" + qorvanBin + "' list --json parts > /dev/full", "qorvan" },
            { "'" + qorvanBin + "' --help > /dev/full", "qorvan" },
            { "'" + console + "' --no-default-module -e '(+ 1 2)' > /dev/full", "qorvan-console" },
            // diff's 1 means "different": a report lost is trouble, 2.
            { "'" + qorvanBin + "' diff parts.slb other.slb > /dev/full", "qorvan", 2 },
        };
        for (const Case& c : cases) {
            RunResult r = s.sh(c.command);
            EXPECT_EQ(r.status, c.status) << c.command;
            EXPECT_EQ(r.err, c.program + ": cannot write standard output: No space left on device\n")
                << c.command;
        }
        // The same commands into a pipe that reads everything succeed.
        EXPECT_EQ(s.q({ "list", "parts" }).status, 0);
    }

    // The names of a library file, in order, as qorvan lists them.
    std::string names(const Shell& s, const std::string& lib)
    {
        RunResult r = s.q({ "list", lib });
        return r.status == 0 ? r.out : "(list failed: " + r.err + ")";
    }

    TEST(CliBatch, SeveralSlidesGoInTogetherOrNotAtAll)
    {
        Shell s;
        for (const char* n : { "box", "gear", "pin" })
            s.write(std::string(n) + ".sld", slideBytes(10 + n[0]));
        s.write("parts.slb", makeLibrary({ { "PIN", slideBytes(5) } }));
        const std::string before = s.file("parts.slb");

        // PIN is there already: without --keep-going nothing changes.
        RunResult r = s.q({ "append", "parts", "box.sld", "pin", "gear" });
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err,
            "qorvan append: pin: Slide PIN already exists in library parts.\n"
            "qorvan append: parts unchanged (--keep-going does what it can)\n");
        EXPECT_EQ(s.file("parts.slb"), before);
        EXPECT_EQ(s.files(), (std::vector<std::string> { "box.sld", "gear.sld", "parts.slb", "pin.sld" }));

        // With it, the others go in, in the order given.
        r = s.q({ "append", "--keep-going", "parts", "box.sld", "pin", "nosuch", "gear" });
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err,
            "qorvan append: pin: Slide PIN already exists in library parts.\n"
            "qorvan append: nosuch: cannot open nosuch.SLD: No such file or directory\n"
            "qorvan append: 2 of 4 slide files appended; 2 left out\n");
        EXPECT_EQ(names(s, "parts"), "PIN\nBOX\nGEAR\n");
        EXPECT_EQ(s.file("parts.slb"),
            makeLibrary(
                { { "PIN", slideBytes(5) }, { "BOX", s.file("box.sld") }, { "GEAR", s.file("gear.sld") } }));
    }

    TEST(CliBatch, ANameGivenTwiceIsADuplicate)
    {
        Shell s;
        s.write("box.sld", slideBytes(10));
        fs::create_directories(s.path() / "other");
        s.write("other/BOX.SLD", slideBytes(20));
        RunResult r = s.q({ "append", "new", "box.sld", "other/BOX.SLD" });
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("other/BOX.SLD: Slide BOX already exists in library new."), std::string::npos)
            << r.err;
        EXPECT_FALSE(fs::exists(s.path() / "new.slb"));
    }

    TEST(CliBatch, DeleteReplaceAndRemoveTakeSeveralNames)
    {
        Shell s;
        const std::string a = slideBytes(11), b = slideBytes(12), c = slideBytes(13), d = slideBytes(14);
        s.write("parts.slb", makeLibrary({ { "A", a }, { "B", b }, { "C", c }, { "D", d } }));

        RunResult r = s.q({ "delete", "parts", "a", "nosuch", "C" });
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(names(s, "parts"), "A\nB\nC\nD\n");
        r = s.q({ "delete", "-k", "parts", "a", "nosuch", "C" });
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err,
            "qorvan delete: nosuch: Slide nosuch not found in library parts.\n"
            "qorvan delete: 2 of 3 slides deleted; 1 left out\n");
        EXPECT_EQ(s.file("parts.slb"), makeLibrary({ { "B", b }, { "D", d } }));

        const std::string newB = slideBytes(40), e = slideBytes(41);
        s.write("b.sld", newB);
        s.write("e.sld", e);
        r = s.q({ "replace", "parts", "e.sld", "b" });
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(s.file("parts.slb"), makeLibrary({ { "D", d }, { "E", e }, { "B", newB } }));

        r = s.q({ "remove", "parts", "d", "b", "-d", "out" });
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(s.file("out/D.SLD"), d);
        EXPECT_EQ(s.file("out/B.SLD"), newB);
        EXPECT_EQ(s.file("parts.slb"), makeLibrary({ { "E", e } }));
    }

    TEST(CliKinds, ALibraryAndASlideAreNamedForWhatTheyAre)
    {
        Shell s;
        const std::string box = slideBytes(30);
        s.write("big.slb", makeLibrary({ { "BOX", box } }));
        s.write("box.sld", box);
        struct Case {
            std::vector<std::string> args;
            int status;
            std::string err;
        };
        const Case cases[] = {
            { { "render", "big.slb(box)", "-o", "a.png" }, 0, "" },
            { { "render", "big.SLB(BOX)", "-o", "b.png" }, 0, "" },
            { { "render", "big.slb", "-o", "c.png" }, 1,
                "qorvan render: big.slb is a slide library, not a slide: name one of its slides as "
                "big.slb(NAME) "
                "(qorvan list big.slb shows the names), or add --all -d DIR for every slide\n" },
            { { "convert", "big.slb", "-o", "c.sld" }, 1,
                "qorvan convert: big.slb is a slide library, not a slide: name one of its slides as "
                "big.slb(NAME) "
                "(qorvan list big.slb shows the names), or add --all -d DIR for every slide\n" },
            { { "list", "box.sld" }, 1,
                "qorvan list: box.sld is a slide, not a slide library (qorvan info box.sld describes it; "
                "qorvan append "
                "LIB box.sld puts it into library LIB)\n" },
            { { "list", "box" }, 1,
                "qorvan list: box is a slide, not a slide library (qorvan info box describes it; qorvan "
                "append LIB box puts "
                "it into library LIB)\n" },
            { { "append", "box.sld", "box.sld" }, 1,
                "qorvan append: box.sld is a slide, not a slide library (qorvan info box.sld describes it; "
                "qorvan append "
                "LIB box.sld puts it into library LIB)\n" },
        };
        for (const Case& c : cases) {
            RunResult r = s.q(c.args);
            EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args[1] << ": " << r.err;
            EXPECT_EQ(r.err, c.err) << c.args[0] << " " << c.args[1];
        }
        EXPECT_EQ(readPng(s.str("a.png")).width, readPng(s.str("b.png")).width);
        EXPECT_GT(readPng(s.str("a.png")).width, 0u);
        EXPECT_FALSE(fs::exists(s.path() / "c.png"));
        EXPECT_FALSE(fs::exists(s.path() / "c.sld"));
        EXPECT_EQ(s.file("box.sld"), box);
    }

    TEST(CliAppendChecks, OnlySlidesGoInUnlessForced)
    {
        Shell s;
        const std::string slide = slideBytes(30);
        s.write("notes.txt", "a shopping list\n");
        s.write("empty.sld", "");
        s.write("head.sld", slide.substr(0, 31));
        s.write("short.sld", slide.substr(0, 20));
        s.write("other.slb", makeLibrary({ { "BOX", slide } }));
        struct Case {
            const char* file;
            const char* why;
        };
        const Case cases[] = {
            { "notes.txt", "it does not start as a slide does" },
            { "empty.sld", "the file is empty" },
            { "head.sld", "it holds no complete record after its header" },
            { "short.sld", "it ends inside the slide header (20 bytes)" },
            { "other.slb", "it is a slide library (qorvan explode writes its slides as files)" },
        };
        for (const Case& c : cases) {
            RunResult r = s.q({ "append", "parts", c.file });
            EXPECT_EQ(r.status, 1) << c.file;
            EXPECT_EQ(r.err,
                std::string("qorvan append: ") + c.file + ": not a slide: " + c.why
                    + " (--force stores it as it is)\n");
            EXPECT_FALSE(fs::exists(s.path() / "parts.slb")) << c.file;
        }
        // One bad file among good ones: all or nothing, or the good ones with -k.
        s.write("box.sld", slide);
        RunResult r = s.q({ "append", "parts", "box.sld", "notes.txt" });
        EXPECT_EQ(r.status, 1);
        EXPECT_FALSE(fs::exists(s.path() / "parts.slb"));
        r = s.q({ "append", "-k", "parts", "box.sld", "notes.txt" });
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("1 of 2 slide files appended; 1 left out"), std::string::npos) << r.err;
        EXPECT_EQ(names(s, "parts"), "BOX\n");

        r = s.q({ "append", "--force", "parts", "notes.txt" });
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(s.file("parts.slb"), makeLibrary({ { "BOX", slide }, { "NOTES", "a shopping list\n" } }));

        // replace checks the same, and a refused file leaves the slide it named.
        const std::string before = s.file("parts.slb");
        r = s.q({ "replace", "parts", "notes.txt" });
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err,
            "qorvan replace: notes.txt: not a slide: it does not start as a slide does (--force stores it "
            "as it is)\n");
        EXPECT_EQ(s.file("parts.slb"), before);
    }

    TEST(CliAppendChecks, ACutNameIsTold)
    {
        Shell s;
        const std::string file = "a_slide_file_name_of_forty_characters_x.sld";
        s.write(file, slideBytes(30));
        RunResult r = s.q({ "append", "parts", file });
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err,
            "qorvan append: " + file
                + ": stored as A_SLIDE_FILE_NAME_OF_FORTY_CHAR (a slide name holds at most 31 characters)\n");
        EXPECT_EQ(names(s, "parts"), "A_SLIDE_FILE_NAME_OF_FORTY_CHAR\n");
    }

    TEST(CliHabits, AnUnmappedDriveLetterIsToldOnce)
    {
        if (std::getenv("QORVAN_DRIVE_C")) GTEST_SKIP() << "QORVAN_DRIVE_C is set here";
        Shell s;
        RunResult r = s.q({ "delete", "C:\\nosuch\\parts", "c:/box" });
        EXPECT_EQ(r.status, 1);
        const std::string note = "qorvan: C: stands for / here, so C:\\nosuch\\parts is /nosuch/parts (set "
                                 "QORVAN_DRIVE_C to the folder C: should mean)\n";
        EXPECT_EQ(r.err.substr(0, note.size()), note) << r.err;
        EXPECT_EQ(r.err.find("stands for", note.size()), std::string::npos) << r.err;

        // The long option's value is a path as much as -d's.
        r = s.q({ "explode", "nosuch", "--directory=d:\\out" });
        EXPECT_EQ(r.err.rfind("qorvan: D: stands for / here, so d:\\out is /out", 0), 0u) << r.err;

        // A mapped drive is the user's own choice: nothing to tell.
        s.write("parts.slb", makeLibrary({ { "BOX", slideBytes(10) } }));
        r = run(
            "/usr/bin/env", { "QORVAN_DRIVE_C=" + s.str(), binary("qorvan"), "list", "C:\\PARTS" }, s.str());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "BOX\n");
        EXPECT_EQ(r.err, "");
    }

    TEST(CliHabits, UsageErrorsNameTheCommand)
    {
        Shell s;
        struct Case {
            std::vector<std::string> args;
            std::string err;
        };
        const Case cases[] = {
            // The parser's own complaints, and the commands' checks of their options.
            { { "list" }, "qorvan list: LIB is required (qorvan list --help shows the usage)\n" },
            { { "extract", "parts", "box", "--directory=" },
                "qorvan extract: --directory: 1 required TEXT missing (qorvan extract --help shows the "
                "usage)\n" },
            { { "render", "x.sld", "-o", "x.png", "--size", "12" },
                "qorvan render: --size wants WIDTHxHEIGHT in pixels, such as 640x480\n" },
            { { "render", "x.sld", "-o", "x.png", "--size", "100000x10" },
                "qorvan render: --size 100000x10 is larger than a picture may be (16384 a side, 67108864 "
                "pixels)\n" },
            { { "render", "x.sld", "-o", "x.png", "--size", "0000000x10" },
                "qorvan render: --size wants WIDTHxHEIGHT in pixels, such as 640x480\n" },
            // A slide's sides are 15-bit: a larger one is refused, not cut.
            { { "make", "x.svg", "-o", "x.sld", "--size", "65536x1" },
                "qorvan make: --size wants WxH (each side 1..32767) or one number for the longer side "
                "(1..32767), not \"65536x1\"\n" },
            { { "make", "x.svg", "-o", "x.sld", "--stroke-width", "nan" },
                "qorvan make: --stroke-width wants a number from 0 to 10000, not nan\n" },
            { { "render", "x.sld", "-o", "x.png", "--format", "svg" },
                "qorvan render: --format goes with --all; a single picture takes its format from the "
                "extension of -o (.png, .svg or .dxf)\n" },
            // Unexpected arguments in the order typed, options and all.
            { { "create", "a", "b", "c", "d" },
                "qorvan create: The following arguments were not expected: b c d (qorvan create --help shows "
                "the usage)\n" },
            { { "rename", "lib", "x", "y", "z", "w" },
                "qorvan rename: The following arguments were not expected: z w (qorvan rename --help shows "
                "the "
                "usage)\n" },
            { { "info", "--bogus", "x", "--other" },
                "qorvan info: The following arguments were not expected: --bogus --other (qorvan info --help "
                "shows the usage)\n" },
            // No command yet: nothing to name.
            { {}, "qorvan: A subcommand is required (qorvan --help shows the usage)\n" },
            { { "frobnicate" }, "qorvan: unknown command \"frobnicate\" (qorvan --help lists them)\n" },
        };
        for (const Case& c : cases) {
            RunResult r = s.q(c.args);
            EXPECT_EQ(r.status, 2) << r.err;
            EXPECT_EQ(r.err, c.err);
            EXPECT_EQ(r.out, "");
        }
    }

    TEST(CliHabits, CreateAndFoldersSayWhyTheyRefuse)
    {
        Shell s;
        s.write("parts.slb", makeLibrary({ { "BOX", slideBytes(10) }, { "PIN", slideBytes(11) } }));
        s.write("words.slb", "not a library");
        s.write("empty.slb", makeLibrary({}));
        const std::string parts = s.file("parts.slb");
        struct Case {
            std::vector<std::string> args;
            int status;
            std::string err;
        };
        const Case cases[] = {
            { { "create", "parts", "--force" }, 1,
                "qorvan create: parts.slb holds 2 slides; create replaces only a library without slides "
                "(qorvan delete "
                "takes slides out; remove the file to start over)\n" },
            // Without --force the same: suggesting it would only lead to that refusal.
            { { "create", "parts.slb" }, 1,
                "qorvan create: parts.slb holds 2 slides; create replaces only a library without slides "
                "(qorvan delete "
                "takes slides out; remove the file to start over)\n" },
            { { "create", "empty" }, 1,
                "qorvan create: empty.slb exists (use --force to replace it with an empty library)\n" },
            { { "create", "empty", "--force" }, 0, "" },
            { { "create", "words", "--force" }, 1,
                "qorvan create: words.slb is not a slide library, and create leaves other files alone "
                "(remove or rename it "
                "first)\n" },
            { { "extract", "parts", "box", "-d", "" }, 2,
                "qorvan extract: -d wants a folder (\"\" would mean the root folder; -d . is the current "
                "one)\n" },
            { { "explode", "parts", "-d", "" }, 2,
                "qorvan explode: -d wants a folder (\"\" would mean the root folder; -d . is the current "
                "one)\n" },
        };
        for (const Case& c : cases) {
            RunResult r = s.q(c.args);
            EXPECT_EQ(r.status, c.status) << c.args[0];
            EXPECT_EQ(r.err, c.err) << c.args[0];
        }
        EXPECT_EQ(s.file("parts.slb"), parts);
        EXPECT_EQ(s.file("words.slb"), "not a library");
        EXPECT_EQ(s.file("empty.slb"), makeLibrary({}));
        EXPECT_FALSE(
            fs::exists("/BOX.SLD") && fs::last_write_time("/BOX.SLD") > fs::last_write_time(s.path()));
    }

} // namespace
} // namespace qorvan::testing
