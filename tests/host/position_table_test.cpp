// PositionTable and its "RVK_DCL.CFG" file: reading, folding duplicates,
// when the file is rewritten, the 100-slot limit.
#include "host/position_table.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

using namespace qorvan::host;
using qorvan::testing::readFile;
using qorvan::testing::TempDir;

namespace {

class PositionFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        table = std::make_unique<PositionTable>();
        old = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
    }
    void TearDown() override { std::filesystem::current_path(old); }

    // Loads content as the file, then saves; the file afterwards, or
    // "<absent>".
    std::string roundTrip(const std::string& content)
    {
        dir.write("RVK_DCL.CFG", content);
        EXPECT_EQ(loadPositions(*table, "RVK_DCL"), RTNORM_VALUE);
        EXPECT_EQ(savePositions(*table, "RVK_DCL"), RTNORM_VALUE);
        return readFile(dir.path() / "RVK_DCL.CFG");
    }

    static constexpr int RTNORM_VALUE = 5100;
    TempDir dir;
    std::filesystem::path old;
    std::unique_ptr<PositionTable> table;
};

TEST_F(PositionFile, RewritesInNormalFormWithDuplicatesFolded)
{
    struct Case {
        const char* file;
        const char* rewritten;
    };
    const Case cases[] = {
        { "a = 1,2\na = 3,4\n", "a = 3,4\n" },
        { "door = 10,20\n", "door = 10,20\n" },
        { "door   =   10,20\n", "door = 10,20\n" },
        { "b = -5,7\ngarbage\na = 1,2\nb = 0,0\n", "b = 0,0\na = 1,2\n" },
        { "x = 1,2 trailing\n", "x = 1,2\n" },
        { "y = 3,4", "y = 3,4\n" },
    };
    for (const Case& c : cases) {
        table = std::make_unique<PositionTable>();
        EXPECT_EQ(roundTrip(c.file), c.rewritten) << "file: " << c.file;
    }
}

TEST_F(PositionFile, UnreadableLinesOnlyLeaveTheFileAlone)
{
    const std::string content = "door=10,20\n= 1,2\nname = x,3\n";
    EXPECT_EQ(roundTrip(content), content);
    EXPECT_EQ(table->added, 0);
    EXPECT_EQ(table->slots[0].name[0], '\0');
}

TEST_F(PositionFile, MissingFileIsNotCreated)
{
    EXPECT_EQ(loadPositions(*table, "RVK_DCL"), -5001);
    EXPECT_EQ(savePositions(*table, "RVK_DCL"), 5100);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "RVK_DCL.CFG"));
}

TEST_F(PositionFile, LongLineArrivesInPieces)
{
    // 300 characters of name: the first 255 form one piece (no "=" follows
    // within it), the rest "xxx... = 1,2" is scanned as a line of its own.
    const std::string name(300, 'n');
    const std::string written = roundTrip(name + " = 1,2\n");
    EXPECT_EQ(written, std::string(45, 'n') + " = 1,2\n");
}

TEST_F(PositionFile, NamesBeyondTheHundredthAreDropped)
{
    std::string content;
    for (int i = 0; i < 105; ++i)
        content += "n" + std::to_string(i) + " = " + std::to_string(i) + ",0\n";
    const std::string written = roundTrip(content);
    std::string expected;
    for (int i = 0; i < 100; ++i)
        expected += "n" + std::to_string(i) + " = " + std::to_string(i) + ",0\n";
    EXPECT_EQ(written, expected);
    EXPECT_EQ(table->added, 100);
    EXPECT_EQ(putPosition(*table, "new", 1, 1), 0);
    EXPECT_EQ(putPosition(*table, "n5", 9, 9), 1) << "an existing name still updates";
    EXPECT_EQ(table->slots[5].x, 9);
}

TEST_F(PositionFile, PutComparesCaseSensitively)
{
    EXPECT_EQ(putPosition(*table, "Door", 1, 2), 1);
    EXPECT_EQ(putPosition(*table, "door", 3, 4), 1);
    EXPECT_EQ(table->added, 2);
    EXPECT_EQ(putPosition(*table, "Door", 5, 6), 1);
    EXPECT_EQ(table->added, 2);
    EXPECT_EQ(table->slots[0].x, 5);
}

TEST_F(PositionFile, LoadResetsTheAddedCountButKeepsSlots)
{
    putPosition(*table, "kept", 1, 1);
    dir.write("RVK_DCL.CFG", "");
    EXPECT_EQ(loadPositions(*table, "RVK_DCL"), 5100);
    EXPECT_EQ(table->added, 0);
    EXPECT_STREQ(table->slots[0].name, "kept");
}

TEST_F(PositionFile, SaveFailsWhenTheFileCannotBeCreated)
{
    putPosition(*table, "a", 1, 2);
    std::filesystem::create_directory(dir.path() / "RVK_DCL.CFG");
    EXPECT_EQ(savePositions(*table, "RVK_DCL"), -5001);
}

} // namespace
