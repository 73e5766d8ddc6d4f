// What a reference names, through every command that reads one: a file that
// is there is that file whatever brackets its name holds, and a slide in a
// library is found by the same rule in every command.
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

    // Names that browsers and file managers give copies, and a person's own.
    const char* const FILE_NAMES[] = {
        "plan (old).sld",
        "drawing(1).sld",
        "Zeichnung (Kopie) \xc3\xbc.sld",
        "a(b)c",
    };

    TEST(CliReferences, AFileThatIsThereIsReadAsItIs)
    {
        TempDir t;
        for (const char* name : FILE_NAMES) {
            SCOPED_TRACE(name);
            const std::string slide = slideOf(123);
            t.write(name, slide);
            struct Step {
                std::vector<std::string> args;
                const char* output; // a file the command must leave, or null
            } steps[] = {
                { { "render", name, "-o", "p.png" }, "p.png" },
                { { "render", name, "-o", "p.svg" }, "p.svg" },
                { { "convert", name, "-o", "c.sld" }, "c.sld" },
                { { "thumbnail", name, "t.png" }, "t.png" },
                { { "gallery", name, "-d", "g" }, "g/index.html" },
                { { "dump", name }, nullptr },
                { { "info", name }, nullptr },
                { { "check", name }, nullptr },
            };
            for (const Step& s : steps) {
                SCOPED_TRACE(s.args[0]);
                if (s.output) fs::remove_all(t.path() / s.output);
                RunResult r = qorvan(s.args, t.str());
                EXPECT_EQ(r.status, 0) << r.err;
                EXPECT_EQ(r.err.find("cannot open"), std::string::npos) << r.err;
                if (s.output) {
                    EXPECT_TRUE(fs::exists(t.path() / s.output));
                }
            }
            // The slide itself, not some other file: its width is in the text.
            RunResult d = qorvan({ "dump", name }, t.str());
            EXPECT_NE(d.out.find("123"), std::string::npos) << d.out;
            EXPECT_EQ(readFile(t.path() / "c.sld").size(), slide.size());
            fs::remove(t.path() / name);
        }
    }

    TEST(CliReferences, ALibrarySlideWhenNoFileHasTheName)
    {
        TempDir t;
        t.write("parts.slb", makeLibrary({ { "BOLT", slideOf(77) } }));
        // "parts(bolt)" is no file, so it names the slide; with a file of
        // that very name beside it, the file wins.
        RunResult lib = qorvan({ "dump", "parts(bolt)" }, t.str());
        EXPECT_EQ(lib.status, 0) << lib.err;
        EXPECT_NE(lib.out.find("77"), std::string::npos);
        t.write("parts(bolt)", slideOf(55));
        RunResult file = qorvan({ "dump", "parts(bolt)" }, t.str());
        EXPECT_EQ(file.status, 0) << file.err;
        EXPECT_NE(file.out.find("55"), std::string::npos);
        EXPECT_EQ(file.out.find("77"), std::string::npos);
    }

    // Other software stores names in lower case; every command finds them
    // as extract does.
    TEST(CliReferences, EveryCommandFindsASlideAsTheStoreDoes)
    {
        TempDir t;
        t.write("low.slb", makeLibrary({ { "box", slideOf(91) } }));
        for (const char* ref : { "low(box)", "low(BOX)", "low.slb(Box)", "LOW.SLB(box)" }) {
            SCOPED_TRACE(ref);
            for (const std::vector<std::string>& args :
                { std::vector<std::string> { "render", ref, "-o", "p.png" },
                    { "convert", ref, "-o", "c.sld" }, { "thumbnail", ref, "t.png" }, { "dump", ref },
                    { "info", ref } }) {
                RunResult r = qorvan(args, t.str());
                EXPECT_EQ(r.status, 0) << args[0] << ": " << r.err;
            }
        }
        RunResult e = qorvan({ "extract", "low", "box", "-d", "out" }, t.str());
        EXPECT_EQ(e.status, 0) << e.err;
        RunResult missing = qorvan({ "render", "low(nut)", "-o", "p.png" }, t.str());
        EXPECT_EQ(missing.status, 1);
        EXPECT_NE(missing.err.find("NUT"), std::string::npos) << missing.err;
    }

} // namespace
} // namespace qorvan::testing
