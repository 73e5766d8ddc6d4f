// Which file each operation touches: one library per operation, whatever
// dots the path holds; temporary names that never destroy a file; stored
// names that never leave the target folder; lengths that never overflow.
#include "store/edit.h"
#include "store_fixture.h"

using namespace qorvan;
using namespace qorvan::testing;
namespace fs = std::filesystem;

namespace {

class PathsTest : public StoreTest { };

// Paths whose dots once sent the reader and the writer to different files.
TEST_F(PathsTest, EveryStepUsesTheFileTheReaderRead)
{
    struct Case {
        const char* path; // as the caller writes it (cwd is work/)
        const char* library; // the file it names, relative to the test folder
    } cases[] = {
        { "parts.lib", "work/parts.lib.slb" },
        { "..\\lib\\parts", "lib/parts.slb" },
        { ".\\parts", "work/parts.slb" },
        { "v1.2\\parts", "work/v1.2/parts.slb" },
        { "..\\LIB\\Parts.Slb", "lib/parts.slb" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        fs::current_path(dir_.path());
        for (const auto& e : fs::directory_iterator(dir_.path()))
            fs::remove_all(e.path());
        fs::create_directories("work/v1.2");
        fs::create_directories("lib");
        write(c.library, makeLibrary({ { "BOX", "box" } }));
        write("work/parts.lib", "an unrelated file");
        write("work/v1.tmp", "another unrelated file");
        write("work/gear.sld", "gear");
        const auto others = files();
        fs::current_path(dir_.path() / "work");
        ASSERT_EQ(appendSlide(c.path, "gear"), Ok) << statusMessage();
        ASSERT_EQ(deleteSlide(c.path, "box"), Ok) << statusMessage();
        ASSERT_EQ(renameSlide(c.path, "gear", "cog"), Ok) << statusMessage();
        ASSERT_EQ(extractSlide(c.path, "cog", "."), Ok) << statusMessage();
        EXPECT_EQ(readFile(dir_.path() / "work" / "COG.SLD"), "gear");
        EXPECT_EQ(namesIn(parseLibrary(read(c.library))), std::vector<std::string> { "COG" });
        EXPECT_EQ(read("work/parts.lib"), "an unrelated file");
        EXPECT_EQ(read("work/v1.tmp"), "another unrelated file");
        std::vector<std::string> expect = others;
        expect.push_back("work/COG.SLD");
        std::sort(expect.begin(), expect.end());
        EXPECT_EQ(files(), expect);
    }
}

TEST_F(PathsTest, ANewLibraryGetsTheCallersCaseAndSlb)
{
    fs::create_directories("Lib");
    write("box.sld", "box");
    ASSERT_EQ(appendSlide("lib\\Parts", "box"), Ok);
    EXPECT_TRUE(exists("Lib/Parts.slb"));
    ASSERT_EQ(appendSlide("LIB\\PARTS", "box"), SlideExists);
    ASSERT_EQ(appendSlide("Icons.SLB", "box"), Ok);
    EXPECT_TRUE(exists("Icons.SLB"));
    EXPECT_EQ(createLibrary("new"), Ok);
    EXPECT_TRUE(exists("new.slb"));
}

TEST_F(PathsTest, NoFileIsEverReplacedByANewLibrary)
{
    write("notes.slb", "a text file the user keeps here");
    write("full.slb", makeLibrary({ { "BOX", "box" } }));
    write("box.sld", "box");
    fs::create_directories("folder.slb");
    EXPECT_EQ(appendSlide("notes", "box"), InvalidLibrary);
    EXPECT_EQ(createLibrary("notes"), CannotOpen);
    EXPECT_STREQ(statusMessage(), "\"notes.slb\": Can't open file");
    EXPECT_EQ(createLibrary("full"), CannotOpen);
    EXPECT_EQ(appendSlide("folder", "box"), CannotOpen);
    EXPECT_EQ(read("notes.slb"), "a text file the user keeps here");
    EXPECT_EQ(read("full.slb"), makeLibrary({ { "BOX", "box" } }));
    EXPECT_TRUE(fs::is_directory("folder.slb"));
    write("empty.slb", makeLibrary({}));
    EXPECT_EQ(createLibrary("empty"), Ok);
}

TEST_F(PathsTest, TemporaryNamesInUseAreLeftAlone)
{
    write("parts.slb", makeLibrary({ { "BOX", "box" } }));
    write("parts.tmp", "the user's own parts.tmp");
    write("parts-1.tmp", "and another");
    write("gear.sld", "gear");
    ASSERT_EQ(appendSlide("parts", "gear"), Ok);
    EXPECT_EQ(read("parts.tmp"), "the user's own parts.tmp");
    EXPECT_EQ(read("parts-1.tmp"), "and another");
    EXPECT_EQ(namesIn(parseLibrary(read("parts.slb"))), (std::vector<std::string> { "BOX", "GEAR" }));
    EXPECT_EQ(files(), (std::vector<std::string> { "gear.sld", "parts-1.tmp", "parts.slb", "parts.tmp" }));

    // A library whose own name is the temporary name.
    write("x.slb.tmp", makeLibrary({ { "BOX", "box" } }));
    write("x.tmp", "unrelated");
    ASSERT_EQ(appendSlide("x.slb.tmp", "gear"), Ok);
    EXPECT_EQ(namesIn(parseLibrary(read("x.slb.tmp"))), (std::vector<std::string> { "BOX", "GEAR" }));
    EXPECT_EQ(read("x.tmp"), "unrelated");

    // The temporary rule applied to this library names the library itself.
    fs::create_directories("lib.slb");
    write("lib.slb/a.tmp", makeLibrary({ { "BOX", "box" } }));
    ASSERT_EQ(appendSlide("lib.slb\\a.tmp", "gear"), Ok) << statusMessage();
    EXPECT_EQ(namesIn(parseLibrary(read("lib.slb/a.tmp"))), (std::vector<std::string> { "BOX", "GEAR" }));
    EXPECT_FALSE(exists("lib.slb/a-1.tmp"));
}

TEST_F(PathsTest, StoredNamesThatAreNotFileNamesAreRefused)
{
    fs::create_directories("out/sub");
    for (const char* name : { "../ESCAPE", "..", ".", "A\\B", "C:X", "TAB\tNAME", "sub/IN" }) {
        SCOPED_TRACE(name);
        write("bad.slb", makeLibrary({ { "GOOD", "good" }, { name, "evil" } }));
        setStatus(Ok, nullptr, nullptr);
        EXPECT_EQ(extractSlide("bad", name, "out"), InvalidLibrary);
        EXPECT_EQ(explodeLibrary("bad", "out"), InvalidLibrary);
        EXPECT_EQ(read("out/GOOD.SLD"), "good"); // slides before it are written
        fs::remove("out/GOOD.SLD");
    }
    EXPECT_EQ(files(), (std::vector<std::string> { "bad.slb", "out", "out/sub" }));
}

TEST_F(PathsTest, LongPathsAreRefusedNotCut)
{
    const std::string dir(200, 'd');
    fs::create_directories(dir);
    write(dir + "/box.sld", "box");
    const std::string lib = dir + "/" + std::string(52, 'p'); // 253, 257 with .slb
    EXPECT_EQ(appendSlide(lib.c_str(), (dir + "/box").c_str()), CannotOpen);
    EXPECT_EQ(std::string(statusMessage()), "\"" + lib + ".slb\": Can't open file");
    EXPECT_TRUE(listSlides(lib.c_str()).empty());
    EXPECT_EQ(lastStatus(), CannotOpen);

    const std::string ok = dir + "/" + std::string(40, 'p'); // 245 with .slb, 245 for the .tmp
    ASSERT_EQ(appendSlide(ok.c_str(), (dir + "/box").c_str()), Ok) << statusMessage();
    const std::string deep = dir + "/" + std::string(50, 'o');
    fs::create_directories(deep);
    EXPECT_EQ(extractSlide(ok.c_str(), "box", deep.c_str()), CannotOpen);
    EXPECT_EQ(std::string(statusMessage()), "\"" + deep + "\\BOX.SLD\": Can't open file");

    const std::string longSlide = dir + "/" + std::string(60, 's');
    EXPECT_EQ(appendSlide(ok.c_str(), longSlide.c_str()), CannotOpen);
    EXPECT_EQ(std::string(statusMessage()), "\"" + longSlide + ".SLD\": Can't open file");
}

TEST_F(PathsTest, BackslashesAndCaseOnARealTree)
{
    fs::create_directories("Work/Slides");
    write("Work/Slides/Icons.SLB", makeLibrary({ { "BOX", "box" } }));
    write("Work/Slides/New/Gear.Sld", "gear");
    ASSERT_EQ(appendSlide("work\\slides\\icons", "WORK\\SLIDES\\NEW\\GEAR"), Ok) << statusMessage();
    EXPECT_EQ(
        namesIn(parseLibrary(read("Work/Slides/Icons.SLB"))), (std::vector<std::string> { "BOX", "GEAR" }));
    // GEAR.SLD is Gear.Sld to a case-blind eye: written over, not beside.
    write("Work/Slides/New/Gear.Sld", "older bytes");
    ASSERT_EQ(extractSlide("WORK/slides/ICONS.slb", "gear", "work\\slides\\new"), Ok);
    EXPECT_EQ(read("Work/Slides/New/Gear.Sld"), "gear");
    EXPECT_EQ(files(),
        (std::vector<std::string> {
            "Work", "Work/Slides", "Work/Slides/Icons.SLB", "Work/Slides/New", "Work/Slides/New/Gear.Sld" }));
}

} // namespace
