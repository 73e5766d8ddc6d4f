#include "platform/path.h"

#include <gtest/gtest.h>

using namespace qorvan::platform;

struct SplitCase {
    const char* path;
    const char* drive;
    const char* dir;
    const char* base;
    const char* ext;
};

TEST(SplitPath, MatchesTheRuntimeRules)
{
    const SplitCase cases[] = {
        { "c:\\slides\\box.sld", "c:", "\\slides\\", "box", ".sld" },
        { "box", "", "", "box", "" },
        { "C:/S/Box.Sld", "C:", "/S/", "Box", ".Sld" },
        { "gear.v2.sld", "", "", "gear.v2", ".sld" },
        { "c:\\v1.2\\parts", "c:", "\\v1.2\\", "parts", "" },
        { "..\\lib\\parts", "", "..\\lib\\", "parts", "" },
        { "dir/sub\\", "", "dir/sub\\", "", "" },
        { ".sld", "", "", "", ".sld" },
        { "a:", "a:", "", "", "" },
        { "", "", "", "", "" },
        { "x.", "", "", "x", "." },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        PathParts p = splitPath(c.path);
        EXPECT_EQ(p.drive, c.drive);
        EXPECT_EQ(p.dir, c.dir);
        EXPECT_EQ(p.base, c.base);
        EXPECT_EQ(p.ext, c.ext);
    }
}

TEST(NativePath, SplitsFolderFromNameAtTheLastSlash)
{
    // A backslash is an ordinary character in a native path.
    const struct {
        const char* path;
        const char* folder;
        const char* name;
    } cases[] = {
        { "/work/lib/parts.slb", "/work/lib", "parts.slb" },
        { "parts.slb", ".", "parts.slb" },
        { "/parts.slb", "/", "parts.slb" },
        { "a/b\\c", "a", "b\\c" },
        { "lib/", "lib", "" },
        { "", ".", "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(nativeFolderOf(c.path), c.folder);
        EXPECT_EQ(nativeNameOf(c.path), c.name);
    }
}

TEST(AsciiCase, ConvertsOnlyAsciiLetters)
{
    EXPECT_EQ(toUpperAscii("Box-1.sld\xe9"), "BOX-1.SLD\xe9");
    EXPECT_EQ(toLowerAscii("C:\\LIB\\PARTS.SLB"), "c:\\lib\\parts.slb");
    EXPECT_TRUE(equalsNoCase("Parts.Slb", "PARTS.SLB"));
    EXPECT_FALSE(equalsNoCase("parts", "parts.slb"));
    EXPECT_FALSE(equalsNoCase("\xc9", "\xe9"));
    EXPECT_LT(compareNoCase("abc", "ABD"), 0);
    EXPECT_GT(compareNoCase("b", "A"), 0);
    EXPECT_LT(compareNoCase("ab", "ABC"), 0);
    EXPECT_EQ(compareNoCase("", ""), 0);
}
