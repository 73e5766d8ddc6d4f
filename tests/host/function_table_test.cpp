// FunctionTable: growth by one, codes by index, failed growth.
#include "host/function_table.h"

#include <gtest/gtest.h>

using namespace qorvan::host;

namespace {

int one()
{
    return 1;
}
int two()
{
    return 2;
}

TEST(FunctionTable, EntriesTakeTheirIndexAsCode)
{
    FunctionTable table;
    EXPECT_EQ(table.functionCount(), 0);
    EXPECT_EQ(table.addFunction("a", one, LispFunction), 1);
    EXPECT_EQ(table.addFunction("B", two, Command), 1);
    ASSERT_EQ(table.functionCount(), 2);
    EXPECT_STREQ(table.functionAt(0).name, "a");
    EXPECT_EQ(table.functionAt(0).handler(), 1);
    EXPECT_EQ(table.functionAt(0).kind, LispFunction);
    EXPECT_EQ(table.functionAt(1).kind, Command);
    table.clearFunctions();
    EXPECT_EQ(table.functionCount(), 0);
}

TEST(FunctionTable, FailedGrowthKeepsTheTableAndLaterNamesMoveDown)
{
    FunctionTable table;
    table.addFunction("a", one, LispFunction);
    detail::failNextGrowths(1);
    EXPECT_EQ(table.addFunction("b", two, LispFunction), 0);
    EXPECT_EQ(table.functionCount(), 1);
    EXPECT_STREQ(table.functionAt(0).name, "a");
    EXPECT_EQ(table.addFunction("c", two, LispFunction), 1);
    EXPECT_STREQ(table.functionAt(1).name, "c");
}

TEST(FunctionTable, GrowsToManyEntries)
{
    FunctionTable table;
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(table.addFunction("x", one, LispFunction), 1);
    EXPECT_EQ(table.functionCount(), 1000);
}

} // namespace
