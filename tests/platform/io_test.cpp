#include "platform/io.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

using namespace qorvan::platform;
using qorvan::testing::readFile;
using qorvan::testing::TempDir;

class IoTest : public ::testing::Test {
protected:
    void TearDown() override { faults::resetCounts(); }
    TempDir t;
};

TEST_F(IoTest, WriteReadSeekLength)
{
    std::string p = t.str("a.bin");
    {
        File f = File::open(p, OpenMode::Write);
        ASSERT_TRUE(f.isOpen());
        EXPECT_TRUE(f.write("hello world", 11));
        EXPECT_EQ(f.length(), 11);
        EXPECT_TRUE(f.flush());
        EXPECT_TRUE(f.close());
        EXPECT_FALSE(f.isOpen());
    }
    File f = File::open(p, OpenMode::Read);
    ASSERT_TRUE(f.isOpen());
    char buf[16] = {};
    EXPECT_TRUE(f.seek(6));
    EXPECT_EQ(f.read(buf, sizeof buf), 5u);
    EXPECT_STREQ(buf, "world");
    EXPECT_FALSE(f.seek(-1));
    EXPECT_EQ(fileLength(p), 11);
    EXPECT_EQ(fileLength(t.str("missing")), -1);
}

TEST_F(IoTest, CreateNewRefusesAnExistingFile)
{
    t.write("x.tmp", "precious");
    EXPECT_FALSE(File::open(t.str("x.tmp"), OpenMode::CreateNew).isOpen());
    EXPECT_EQ(readFile(t.path() / "x.tmp"), "precious");
    EXPECT_TRUE(File::open(t.str("y.tmp"), OpenMode::CreateNew).isOpen());
}

TEST_F(IoTest, DirectoriesAreNotFiles)
{
    std::filesystem::create_directory(t.path() / "d");
    EXPECT_FALSE(File::open(t.str("d"), OpenMode::Read).isOpen());
}

TEST_F(IoTest, RenameReplacesAtomicallyAndRemoveDeletes)
{
    t.write("new", "N");
    t.write("old", "O");
    EXPECT_TRUE(renameFile(t.str("new"), t.str("old")));
    EXPECT_EQ(readFile(t.path() / "old"), "N");
    EXPECT_FALSE(std::filesystem::exists(t.path() / "new"));
    EXPECT_TRUE(syncDirectoryOf(t.str("old")));
    EXPECT_TRUE(removeFile(t.str("OLD")));
    EXPECT_FALSE(std::filesystem::exists(t.path() / "old"));
    EXPECT_FALSE(removeFile(t.str("old")));
}

TEST_F(IoTest, ReadLineKeepsLineEndsAndSplitsLongLines)
{
    t.write("cfg", "door = 10,20\nabcdefghij\n");
    File f = File::open(t.str("cfg"), OpenMode::Read);
    char buf[6];
    ASSERT_TRUE(f.readLine(buf, sizeof buf));
    EXPECT_STREQ(buf, "door ");
    ASSERT_TRUE(f.readLine(buf, sizeof buf));
    EXPECT_STREQ(buf, "= 10,");
}

TEST_F(IoTest, FaultInjectorFailsTheNthCallOfAKind)
{
    t.write("f", "0123456789");
    faults::resetCounts();
    File f = File::open(t.str("f"), OpenMode::Read);
    ASSERT_TRUE(f.isOpen());
    EXPECT_EQ(faults::calls(IoOp::Open), 1u);

    char buf[4];
    faults::arm(IoOp::Read, 2);
    EXPECT_EQ(f.read(buf, 2), 2u);
    EXPECT_FALSE(faults::fired());
    EXPECT_EQ(f.read(buf, 2), 0u);
    EXPECT_TRUE(faults::fired());
    EXPECT_EQ(f.read(buf, 2), 2u); // one-shot: the third call succeeds

    faults::arm(IoOp::Read, 1, true);
    EXPECT_EQ(f.read(buf, 1), 0u);
    EXPECT_EQ(f.read(buf, 1), 0u);
    faults::disarm();
    EXPECT_EQ(f.read(buf, 1), 1u);

    const IoOp kinds[]
        = { IoOp::Open, IoOp::Write, IoOp::Seek, IoOp::Flush, IoOp::Close, IoOp::Remove, IoOp::Rename };
    for (IoOp op : kinds) {
        SCOPED_TRACE(ioOpName(op));
        t.write("g", "x");
        faults::arm(op, 1);
        bool failed = false;
        File g = File::open(t.str("g"), OpenMode::Write);
        if (!g.isOpen()) {
            failed = op == IoOp::Open;
        } else {
            failed |= !g.write("y", 1);
            failed |= !g.seek(0);
            failed |= !g.flush();
            failed |= !g.close();
        }
        if (op == IoOp::Remove) failed = !removeFile(t.str("g"));
        if (op == IoOp::Rename) failed = !renameFile(t.str("g"), t.str("h"));
        EXPECT_TRUE(failed);
        EXPECT_TRUE(faults::fired());
        faults::disarm();
    }
}
