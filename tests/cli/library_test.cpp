// The library subcommands as a user runs them: the files they leave, what
// they print, and the store's messages on failure.
#include "tests/support/testdata.h"
#include <gtest/gtest.h>

#include <filesystem>

#include "store/edit.h"
#include "store/library.h"
#include "store/status.h"
#include "tests/cli/support.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    namespace fs = std::filesystem;

    std::string box()
    {
        return SlideBytes::newForm(100, 100).vector(0, 0, 100, 100).end().b;
    }
    std::string gear()
    {
        return SlideBytes::newForm(200, 100).color(1).vector(10, 10, 190, 90).vector(5, 5, 5, 5).end().b;
    }
    std::string pin()
    {
        return SlideBytes::newForm(50, 50).commonEndpoint(3, 4).end().b;
    }

    struct Folder : TempDir {
        Folder()
        {
            write("box.sld", box());
            write("gear.sld", gear());
            write("pin.sld", pin());
        }
        RunResult q(const std::vector<std::string>& args) const { return qorvan(args, str()); }
        std::string file(const std::string& rel) const { return readFile(path() / rel); }
    };

    TEST(CliLibrary, CreateAppendListMatchTheStore)
    {
        Folder cli;
        EXPECT_EQ(cli.q({ "create", "parts" }).status, 0);
        EXPECT_EQ(cli.file("parts.slb").size(), EMPTY_LIBRARY_SIZE);
        RunResult again = cli.q({ "create", "parts" });
        EXPECT_EQ(again.status, 1);
        EXPECT_NE(again.err.find("exists"), std::string::npos) << again.err;
        EXPECT_EQ(cli.q({ "create", "parts", "--force" }).status, 0);

        RunResult a = cli.q({ "append", "parts", "box", "gear.sld", "PIN.SLD" });
        EXPECT_EQ(a.status, 0) << a.err;
        EXPECT_EQ(a.out, "");
        EXPECT_EQ(a.err, "");

        // The same operations through the store in process give the same bytes.
        Folder lib;
        fs::path old = fs::current_path();
        fs::current_path(lib.path());
        ASSERT_EQ(createLibrary("parts"), 0);
        for (const char* s : { "box", "gear.sld", "PIN.SLD" })
            ASSERT_EQ(appendSlide("parts", s), 0);
        fs::current_path(old);
        EXPECT_EQ(cli.file("parts.slb"), lib.file("parts.slb"));

        RunResult list = cli.q({ "list", "parts" });
        EXPECT_EQ(list.status, 0);
        EXPECT_EQ(list.out, "BOX\nGEAR\nPIN\n");
        RunResult json = cli.q({ "list", "PARTS.SLB", "--json" });
        const std::size_t b = box().size(), g = gear().size(), p = pin().size();
        EXPECT_EQ(json.out,
            "[\n  {\"name\": \"BOX\", \"offset\": 176, \"size\": " + std::to_string(b)
                + "},\n  {\"name\": \"GEAR\", \"offset\": " + std::to_string(176 + b) + ", \"size\": "
                + std::to_string(g) + "},\n  {\"name\": \"PIN\", \"offset\": " + std::to_string(176 + b + g)
                + ", \"size\": " + std::to_string(p) + "}\n]\n");
    }

    TEST(CliLibrary, PathsFollowTheStoreRules)
    {
        Folder f;
        fs::create_directories(f.path() / "work");
        f.write("work/Parts.Slb", makeLibrary({ { "BOX", box() } }));
        for (const char* path : { "work/parts", "work\\PARTS.SLB", "WORK\\parts", "work/Parts.Slb" }) {
            RunResult r = f.q({ "list", path });
            EXPECT_EQ(r.status, 0) << path << ": " << r.err;
            EXPECT_EQ(r.out, "BOX\n") << path;
        }
    }

    TEST(CliLibrary, FailuresPrintTheStoreMessage)
    {
        Folder f;
        f.write("parts.slb", makeLibrary({ { "BOX", box() }, { "GEAR", gear() } }));
        f.write("empty.slb", makeLibrary({}));
        f.write("junk.slb", "not a library at all, just words");
        const std::string before = f.file("parts.slb");
        struct {
            std::vector<std::string> args;
            std::string err;
        } cases[] = {
            { { "list", "nosuch" },
                "qorvan list: nosuch: cannot open nosuch.slb: No such file or directory\n" },
            { { "list", "junk" }, "qorvan list: junk (junk.slb): Slide library invalid.\n" },
            { { "delete", "parts", "bolt" },
                "qorvan delete: bolt: Slide bolt not found in library parts.\n" },
            { { "delete", "empty", "bolt" }, "qorvan delete: No slide exists in library empty.\n" },
            { { "append", "parts", "box" },
                "qorvan append: box: Slide BOX already exists in library parts.\n" },
            { { "append", "parts", "nosuch" },
                "qorvan append: nosuch: cannot open nosuch.SLD: No such file or directory\n" },
            { { "extract", "parts", "bolt" }, "qorvan extract: Slide bolt not found in library parts.\n" },
            { { "remove", "parts", "bolt", "-d", "out" },
                "qorvan remove: bolt: Slide bolt not found in library parts.\n" },
            { { "rename", "parts", "bolt", "NUT" },
                "qorvan rename: Slide bolt not found in library parts.\n" },
            { { "rename", "parts", "box", "gear" },
                "qorvan rename: Slide GEAR already exists in library parts.\n" },
        };
        for (const auto& c : cases) {
            RunResult r = f.q(c.args);
            EXPECT_EQ(r.status, 1) << c.args[0] << " " << c.args[1];
            EXPECT_EQ(r.err, c.err) << c.args[0] << " " << c.args[1];
            EXPECT_EQ(r.out, "");
        }
        EXPECT_EQ(f.file("parts.slb"), before) << "no failure changes the library";
        EXPECT_FALSE(fs::exists(f.path() / "BOLT.SLD"));

        // An empty library lists as empty.
        RunResult empty = f.q({ "list", "empty" });
        EXPECT_EQ(empty.status, 0);
        EXPECT_EQ(empty.out, "");
        EXPECT_EQ(f.q({ "list", "empty", "--json" }).out, "[]\n");
    }

    TEST(CliLibrary, EditingOperationsLeaveTheRightFiles)
    {
        Folder f;
        f.write("parts.slb", makeLibrary({ { "BOX", box() }, { "GEAR", gear() }, { "PIN", pin() } }));
        fs::create_directories(f.path() / "out");

        EXPECT_EQ(f.q({ "extract", "parts", "box", "pin", "-d", "out" }).status, 0);
        EXPECT_EQ(f.file("out/BOX.SLD"), box());
        EXPECT_EQ(f.file("out/PIN.SLD"), pin());
        EXPECT_EQ(f.q({ "extract", "parts", "gear" }).status, 0) << "default: the current folder";
        // The folder's gear.sld is the file GEAR.SLD names (case is ignored).
        EXPECT_EQ(f.file("gear.sld"), gear());

        EXPECT_EQ(f.q({ "rename", "parts", "gear", "cog" }).status, 0);
        EXPECT_EQ(f.q({ "list", "parts" }).out, "BOX\nCOG\nPIN\n");
        RunResult longName = f.q({ "rename", "parts", "cog", std::string(32, 'A') });
        EXPECT_EQ(longName.status, 2);
        EXPECT_NE(longName.err.find("longer than 31"), std::string::npos);

        EXPECT_EQ(f.q({ "delete", "parts", "box" }).status, 0);
        EXPECT_EQ(f.q({ "list", "parts" }).out, "COG\nPIN\n");

        // replace puts the slide last, whether or not it was there.
        f.write("pin.sld", box());
        EXPECT_EQ(f.q({ "replace", "parts", "pin", "gear" }).status, 0);
        EXPECT_EQ(f.q({ "list", "parts" }).out, "COG\nPIN\nGEAR\n");
        EXPECT_EQ(f.q({ "extract", "parts", "pin", "-d", "out" }).status, 0);
        EXPECT_EQ(f.file("out/PIN.SLD"), box());

        EXPECT_EQ(f.q({ "remove", "parts", "cog", "-d", "gone" }).status, 0);
        EXPECT_EQ(f.file("gone/COG.SLD"), gear());
        EXPECT_EQ(f.q({ "list", "parts" }).out, "PIN\nGEAR\n");

        RunResult ex = f.q({ "explode", "parts", "-d", "all" });
        EXPECT_EQ(ex.status, 0);
        EXPECT_EQ(ex.err, "") << "no progress bar when standard error is not a terminal";
        EXPECT_EQ(f.file("all/PIN.SLD"), box());
        EXPECT_EQ(f.file("all/GEAR.SLD"), gear());
        // A folder that cannot be made is the store's failure to write into it.
        f.write("plain", "a file, not a folder");
        RunResult blocked = f.q({ "explode", "parts", "-d", "plain" });
        EXPECT_EQ(blocked.status, 1);
        EXPECT_EQ(blocked.err, "qorvan explode: parts: cannot write plain/PIN.SLD: Not a directory\n");
        // No temporary file is left beside the library.
        for (const auto& e : fs::directory_iterator(f.path()))
            EXPECT_EQ(e.path().extension() == ".tmp", false) << e.path();
    }

    TEST(CliLibrary, ExplodingARealLibraryWritesEachSlidesBytes)
    {
        auto libs = realFiles(".slb");
        if (libs.empty()) GTEST_SKIP() << "no real files under " << qorvan::testing::testdataDir();
        for (const auto& l : libs) {
            TempDir t;
            std::string bytes = readFile(l);
            t.write("lib.slb", bytes);
            RunResult r = qorvan({ "explode", "lib" }, t.str());
            ASSERT_EQ(r.status, 0) << l << r.err;
            std::vector<LibraryEntry> entries = readDirectory(t.str("lib.slb").c_str());
            ASSERT_FALSE(entries.empty()) << l;
            std::string names;
            for (const auto& e : entries) {
                std::string name(e.name.bytes, strnlen(e.name.bytes, SLIDE_NAME_SIZE));
                names += name + "\n";
                EXPECT_EQ(readFile(t.path() / (name + ".SLD")),
                    bytes.substr(static_cast<std::size_t>(e.offset), static_cast<std::size_t>(e.size)))
                    << l << " " << name;
            }
            EXPECT_EQ(qorvan({ "list", "lib" }, t.str()).out, names) << l;
        }
    }

    TEST(CliUsage, ErrorsExitTwoAndHelpHelps)
    {
        TempDir t;
        struct {
            std::vector<std::string> args;
            const char* says;
        } bad[] = {
            { {}, "subcommand" },
            { { "frobnicate" }, "frobnicate" },
            { { "list" }, "LIB" },
            { { "append", "parts" }, "SLIDE" },
            { { "rename", "parts", "A" }, "NEW" },
            { { "render", "x.sld", "-o", "x.png", "--background", "pink" }, "pink" },
            { { "render", "x.sld", "-o", "x.png", "--size", "12" }, "--size wants" },
            { { "render", "x.sld", "-o", "x.gif" }, ".png, .svg or .dxf" },
            { { "render", "x.sld" }, "-o OUT" },
            { { "render", "lib", "--all" }, "-d DIR" },
        };
        for (const auto& c : bad) {
            RunResult r = qorvan(c.args, t.str());
            EXPECT_EQ(r.status, 2) << (c.args.empty() ? "" : c.args[0]) << ": " << r.err;
            EXPECT_NE((r.err + r.out).find(c.says), std::string::npos) << r.err;
        }
        for (const char* sub : { "list", "create", "append", "delete", "extract", "explode", "remove",
                 "replace", "rename", "info", "check", "render", "convert", "gallery" }) {
            RunResult r = qorvan({ sub, "--help" }, t.str());
            EXPECT_EQ(r.status, 0) << sub;
            EXPECT_NE(r.out.find(sub), std::string::npos) << sub;
        }
        RunResult top = qorvan({ "--help" }, t.str());
        EXPECT_EQ(top.status, 0);
        EXPECT_NE(top.out.find("gallery"), std::string::npos);
    }

} // namespace
} // namespace qorvan::testing
