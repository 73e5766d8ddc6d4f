#include "platform/io.h"
#include "platform/resolve.h"
#include "tests/support/tempdir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace qorvan::platform;
using qorvan::testing::TempDir;

namespace {

// Runs a test body with the current directory set to dir.
class InDir {
public:
    explicit InDir(const std::filesystem::path& dir)
        : old_(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir);
    }
    ~InDir() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

} // namespace

TEST(NativePath, SeparatorsAndDrives)
{
    ::unsetenv("QORVAN_DRIVE_C");
    EXPECT_EQ(toNativePath("work\\parts"), "work/parts");
    EXPECT_EQ(toNativePath("C:\\lib\\parts"), "/lib/parts");
    EXPECT_EQ(toNativePath("c:parts"), "parts");
    EXPECT_EQ(toNativePath("..\\lib\\"), "../lib/");
    EXPECT_EQ(toNativePath("a\\\\b"), "a/b");
    ::setenv("QORVAN_DRIVE_C", "/srv/cad", 1);
    EXPECT_EQ(toNativePath("c:\\lib\\parts"), "/srv/cad/lib/parts");
    EXPECT_EQ(toNativePath("C:parts"), "/srv/cad/parts");
    // A mapped drive is a root: ".." stops there.
    EXPECT_EQ(toNativePath("C:\\..\\x"), "/srv/cad/x");
    EXPECT_EQ(toNativePath("C:..\\..\\x"), "/srv/cad/x");
    EXPECT_EQ(toNativePath("C:\\lib\\..\\..\\..\\etc\\passwd"), "/srv/cad/etc/passwd");
    EXPECT_EQ(toNativePath("C:\\a\\.\\b\\..\\c"), "/srv/cad/a/c");
    ::unsetenv("QORVAN_DRIVE_C");
}

TEST(Resolve, FindsEveryComponentIgnoringCase)
{
    TempDir t;
    t.write("Work/Slides/PARTS.SLB", "lib");
    InDir in(t.path());
    EXPECT_EQ(resolveExisting("work\\slides\\parts.slb"), "Work/Slides/PARTS.SLB");
    EXPECT_EQ(resolveExisting("WORK/SLIDES/Parts.Slb"), "Work/Slides/PARTS.SLB");
    EXPECT_EQ(resolveExisting("Work/Slides/PARTS.SLB"), "Work/Slides/PARTS.SLB");
    EXPECT_TRUE(pathExists("work\\SLIDES\\parts.slb"));
    // A missing last component keeps its spelling, the directories resolve.
    EXPECT_EQ(resolveExisting("work\\slides\\new.slb"), "Work/Slides/new.slb");
    EXPECT_EQ(resolveForCreate("work\\slides\\New.slb"), "Work/Slides/New.slb");
    EXPECT_EQ(resolveForCreate("work\\slides\\parts.SLB"), "Work/Slides/PARTS.SLB");
    // Nothing found: the unresolvable rest is kept as written.
    EXPECT_EQ(resolveExisting("nowhere\\x"), "nowhere/x");
    EXPECT_FALSE(pathExists("nowhere\\x"));
}

TEST(Resolve, PrefersExactThenFirstInByteOrder)
{
    TempDir t;
    t.write("dir/box.sld", "a");
    t.write("dir/Box.sld", "b");
    t.write("dir/BOX.SLD", "c");
    InDir in(t.path());
    EXPECT_EQ(resolveExisting("dir/Box.sld"), "dir/Box.sld");
    EXPECT_EQ(resolveExisting("dir/bOx.sld"), "dir/BOX.SLD"); // 'B' < 'b'
    EXPECT_EQ(resolveExisting("DIR/box.SLD"), "dir/BOX.SLD");
}

TEST(Resolve, AbsolutePathsAndDotDot)
{
    TempDir t;
    t.write("Lib/Parts.slb", "x");
    t.write("Other/keep", "x");
    std::string root = t.str();
    EXPECT_EQ(resolveExisting(root + "\\lib\\parts.SLB"), root + "/Lib/Parts.slb");
    InDir in(t.path() / "Other");
    EXPECT_EQ(resolveExisting("..\\LIB\\PARTS.SLB"), "../Lib/Parts.slb");
    File f = File::open("..\\lib\\PARTS.slb", OpenMode::Read);
    ASSERT_TRUE(f.isOpen());
    EXPECT_EQ(f.length(), 1);
}
