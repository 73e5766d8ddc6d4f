// The directory reader: the reader rule, sizes, and every way a directory
// can be unsound.
#include "store/library.h"
#include "store/limits.h"
#include "store_fixture.h"

using namespace qorvan;
using namespace qorvan::testing;

namespace {

class DirectoryTest : public StoreTest { };

TEST_F(DirectoryTest, ReaderRuleNamesOneFile)
{
    write("parts.slb", makeLibrary({ { "BOX", "x" } }));
    for (const char* path : { "parts", "parts.slb", "PARTS.SLB", "Parts.Slb" }) {
        SCOPED_TRACE(path);
        auto entries = readDirectory(path);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(nameOf(entries[0].name), "BOX");
    }
}

TEST_F(DirectoryTest, MixedCaseFileIsFound)
{
    write("Lib/Parts.SLB", makeLibrary({ { "BOX", "x" } }));
    EXPECT_EQ(readDirectory("lib\\parts").size(), 1u);
    EXPECT_EQ(readDirectory("LIB/PARTS.SLB").size(), 1u);
}

TEST_F(DirectoryTest, SizesFollowOffsets)
{
    std::string lib = makeLibrary(
        { { "A", std::string(224, 'a') }, { "B", std::string(600, 'b') }, { "C", std::string(500, 'c') } });
    // Three slides at 176, 400 and 1000 in a 1500-byte file.
    ASSERT_EQ(lib.size(), 1500u);
    write("three.slb", lib);
    auto e = readDirectory("three");
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].offset, 176);
    EXPECT_EQ(e[1].offset, 400);
    EXPECT_EQ(e[2].offset, 1000);
    EXPECT_EQ(e[0].size, 224);
    EXPECT_EQ(e[1].size, 600);
    EXPECT_EQ(e[2].size, 500);

    write("one.slb", makeLibrary({ { "ONE", std::string(496, 'o') } }));
    auto one = readDirectory("one");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].offset, 104);
    EXPECT_EQ(one[0].size, 496);
}

TEST_F(DirectoryTest, HeaderPaddingIsIgnoredButByte28IsNot)
{
    std::string lib = makeLibrary({ { "BOX", "x" } });
    lib[29] = 'a';
    lib[31] = '\x7f';
    write("pad.slb", lib);
    EXPECT_EQ(readDirectory("pad").size(), 1u);
    lib[28] = 'x';
    write("bad.slb", lib);
    EXPECT_TRUE(readDirectory("bad").empty());
    EXPECT_EQ(lastStatus(), InvalidLibrary);
}

TEST_F(DirectoryTest, ListSlidesGivesPaddedNames)
{
    write("parts.slb", makeLibrary({ { "BOX", "1" }, { "CIRCLE", "22" } }));
    auto names = listSlides("parts");
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(std::string(names[0].bytes, 32), "BOX" + std::string(29, '\0'));
    EXPECT_EQ(std::string(names[1].bytes, 32), "CIRCLE" + std::string(26, '\0'));
}

TEST_F(DirectoryTest, FailuresAndTheirMessages)
{
    write("empty.slb", makeLibrary({}));
    write("short.slb", std::string(LIBRARY_MAGIC, 20));
    struct Case {
        const char* path;
        int code;
        const char* message;
    } cases[] = {
        { "NOSUCH", CannotOpen, "\"nosuch.slb\": Can't open file" },
        { "c:\\X.SLB.OLD\\Parts", CannotOpen, "\"c:\\x.slb.old\\parts\": Can't open file" },
        { "empty", EmptyLibrary, "No slide exists in library empty." },
        { "EMPTY.SLB", EmptyLibrary, "No slide exists in library EMPTY.SLB." },
        { "short", InvalidLibrary, "Slide library invalid." },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        setStatus(Ok, nullptr, nullptr);
        EXPECT_TRUE(listSlides(c.path).empty());
        EXPECT_EQ(lastStatus(), c.code);
        EXPECT_STREQ(statusMessage(), c.message);
    }
}

TEST_F(DirectoryTest, SuccessLeavesTheStatus)
{
    write("parts.slb", makeLibrary({ { "BOX", "1" } }));
    setStatus(SlideNotFound, "lib", "X");
    EXPECT_EQ(listSlides("parts").size(), 1u);
    EXPECT_EQ(lastStatus(), SlideNotFound);
}

// Each case: a library whose directory cannot be right. The reader must
// refuse it with code 4 and never report a size out of the file.
TEST_F(DirectoryTest, UnsoundDirectoriesAreInvalid)
{
    const std::string good = makeLibrary({ { "A", std::string(100, 'a') }, { "B", std::string(50, 'b') } });
    auto withOffset = [&](std::size_t entry, std::int64_t off) {
        std::string lib = good;
        putLe32(lib, 32 + 36 * entry + 32, off);
        return lib;
    };
    std::string noTerminator(LIBRARY_MAGIC, 28);
    noTerminator += std::string(4, '\0');
    noTerminator += "NAME" + std::string(32, '\x01');
    std::string partialEntry = good.substr(0, 32 + 20);
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        { "directory runs to the end of the file", noTerminator },
        { "file ends inside the first entry", partialEntry },
        { "offset into the header", withOffset(0, 10) },
        { "offset into the directory", withOffset(0, 100) },
        { "offset beyond the end", withOffset(1, static_cast<std::int64_t>(good.size()) + 1) },
        { "offsets go down", withOffset(1, 104) },
        { "negative offset", withOffset(0, -5) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write("bad.slb", c.bytes);
        setStatus(Ok, nullptr, nullptr);
        EXPECT_TRUE(readDirectory("bad").empty());
        EXPECT_EQ(lastStatus(), InvalidLibrary);
    }
}

TEST_F(DirectoryTest, EntryAtTheLastByteOrTheEndIsSound)
{
    std::string lib = makeLibrary({ { "A", "abc" }, { "B", "z" } });
    write("last.slb", lib);
    auto e = readDirectory("last");
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[1].offset, static_cast<std::int32_t>(lib.size() - 1));
    EXPECT_EQ(e[1].size, 1);
    write("end.slb", makeLibrary({ { "A", "abc" }, { "B", "" } }));
    auto end = readDirectory("end");
    ASSERT_EQ(end.size(), 2u);
    EXPECT_EQ(end[1].size, 0);
}

} // namespace
