// ArgList over hand-built chains: walking nested lists, reading atoms with
// their messages, building result chains, and the type mapping.
#include "host/arglist.h"
#include "host/result_type.h"
#include "tests/host/fake_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace qorvan::host;
using qorvan::testing::fakeHost;
using qorvan::testing::freeChain;
using qorvan::testing::makeChain;

namespace {

class ArgListTest : public ::testing::Test {
protected:
    void SetUp() override { fakeHost().reset(); }
    void TearDown() override { freeChain(chain); }
    resbuf* chain = nullptr;
};

TEST_F(ArgListTest, EmptyChainHasNoElements)
{
    ArgList list(nullptr);
    EXPECT_EQ(list.argCount(), 0);
    resbuf* out = reinterpret_cast<resbuf*>(0x1);
    EXPECT_EQ(list.nthElement(0, out), RTERROR);
    EXPECT_EQ(out, reinterpret_cast<resbuf*>(0x1)) << "out stays unchanged";
    char buf[ARG_BUFFER] = "x";
    EXPECT_EQ(list.getStringArg(0, buf), RTERROR);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(fakeHost().printed, "") << "a missing argument is silent";
}

// "a", (1 (2 3)), "b"
TEST_F(ArgListTest, NestedListCountsAsOneElement)
{
    chain = makeChain({ { RTSTR, "a" }, { RTLB, "" }, { RTSHORT, "", 1 }, { RTLB, "" }, { RTSHORT, "", 2 },
        { RTSHORT, "", 3 }, { RTLE, "" }, { RTLE, "" }, { RTSTR, "b" } });
    ArgList list(chain);
    EXPECT_EQ(list.argCount(), 3);
    char buf[ARG_BUFFER];
    EXPECT_EQ(list.getStringArg(2, buf), RTNORM);
    EXPECT_STREQ(buf, "b");
    EXPECT_EQ(list.getStringArg(1, buf), RTERROR);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(fakeHost().printed, "\ngetAtom : type mismatched! (5016)");
    resbuf* second = nullptr;
    ASSERT_EQ(list.nthElement(1, second), RTNORM);
    EXPECT_EQ(second->restype, RTLB);
    EXPECT_EQ(list.nthElement(3, second), RTERROR);
    EXPECT_EQ(list.nthElement(-1, second), RTERROR);
}

TEST_F(ArgListTest, MissingListEndMakesTheUnfinishedListTheLastElement)
{
    chain = makeChain({ { RTSTR, "a" }, { RTLB, "" }, { RTSTR, "b" }, { RTLB, "" }, { RTLE, "" } });
    ArgList list(chain);
    EXPECT_EQ(list.argCount(), 2);
    EXPECT_EQ(ArgList::nextElement(chain->rbnext), nullptr);
    EXPECT_EQ(ArgList::nextElement(nullptr), nullptr);
}

TEST_F(ArgListTest, RealWhereStringExpectedPrintsItsType)
{
    chain = makeChain({ { RTREAL, "", 0, 2.5 } });
    char buf[ARG_BUFFER];
    EXPECT_EQ(ArgList(chain).getStringArg(0, buf), RTERROR);
    EXPECT_EQ(fakeHost().printed, "\ngetAtom : type mismatched! (5001)");
}

TEST_F(ArgListTest, ShortArgumentsAreReadSilently)
{
    chain = makeChain({ { RTSTR, "s" }, { RTSHORT, "", -1 }, { 70, "", 42 }, { RTREAL, "", 0, 1.0 } });
    ArgList list(chain);
    std::int32_t v = 7;
    EXPECT_EQ(list.getShortArg(0, v), RTERROR);
    EXPECT_EQ(v, 7) << "a failed integer read leaves the default";
    EXPECT_EQ(list.getShortArg(1, v), RTNORM);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(list.getShortArg(2, v), RTNORM);
    EXPECT_EQ(v, 42) << "group code 70 reads as a 16-bit integer";
    EXPECT_EQ(list.getShortArg(3, v), RTERROR);
    EXPECT_EQ(list.getShortArg(4, v), RTERROR);
    EXPECT_EQ(fakeHost().printed, "");
}

TEST_F(ArgListTest, GroupCodeOneReadsAsString)
{
    chain = makeChain({ { 1, "text" } });
    char buf[ARG_BUFFER];
    EXPECT_EQ(ArgList(chain).getStringArg(0, buf), RTNORM);
    EXPECT_STREQ(buf, "text");
}

TEST_F(ArgListTest, StringsThatDoNotFitAreRefused)
{
    const std::string fits(255, 'a');
    const std::string tooLong(256, 'b');
    chain = makeChain({ { RTSTR, fits }, { RTSTR, tooLong } });
    ArgList list(chain);
    char buf[ARG_BUFFER + 8];
    std::memset(buf, 'z', sizeof buf);
    EXPECT_EQ(list.getStringArg(0, buf, ARG_BUFFER), RTNORM);
    EXPECT_EQ(std::string(buf), fits);
    std::memset(buf, 'z', sizeof buf);
    EXPECT_EQ(list.getStringArg(1, buf, ARG_BUFFER), RTERROR);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(buf[ARG_BUFFER], 'z') << "nothing written past the buffer";
    EXPECT_EQ(fakeHost().printed, "");
}

TEST_F(ArgListTest, StringNodeWithoutStringIsRefused)
{
    resbuf node {};
    node.restype = RTSTR;
    char buf[ARG_BUFFER];
    EXPECT_EQ(ArgList::getAtom(&node, buf), RTERROR);
    EXPECT_STREQ(buf, "");
}

TEST_F(ArgListTest, AppendingBuildsChainOfCopiesInOrder)
{
    ArgList list;
    EXPECT_EQ(list.lastNode(), nullptr);
    char text[] = "one";
    list.appendString(text, RTSTR);
    text[0] = 'X';
    list.appendString("two", RTSTR);
    list.appendString("three", RTSTR);
    resbuf* head = list.getHead();
    ASSERT_NE(head, nullptr);
    EXPECT_STREQ(head->resval.rstring, "one");
    EXPECT_STREQ(head->rbnext->resval.rstring, "two");
    EXPECT_STREQ(head->rbnext->rbnext->resval.rstring, "three");
    EXPECT_EQ(head->rbnext->rbnext->rbnext, nullptr);
    EXPECT_EQ(list.lastNode(), head->rbnext->rbnext);
    for (resbuf* p = head; p; p = p->rbnext)
        EXPECT_EQ(p->restype, RTSTR);
    EXPECT_EQ(list.argCount(), 3);
    acutRelRb(head);
    EXPECT_EQ(fakeHost().liveNodes, 0);
}

TEST_F(ArgListTest, AppendWithoutNodeLeavesChainUnchanged)
{
    ArgList list;
    list.appendString("one", RTSTR);
    fakeHost().newRbFailsAt = fakeHost().newRbCalls;
    EXPECT_EQ(list.appendString("two", RTSTR), nullptr);
    EXPECT_EQ(list.argCount(), 1);
    acutRelRb(list.getHead());
    EXPECT_EQ(fakeHost().liveNodes, 0);
}

TEST(ResultTypeOf, GroupCodesAtTheEdgesOfEachRange)
{
    // The host's documented group code ranges, at both ends of each and
    // just outside: a code in no range stands for itself.
    const struct {
        short code, type;
    } cases[] = {
        { -4, -4 },
        { -3, RTSHORT },
        { -2, RTENAME },
        { -1, RTENAME },
        { 0, RTSTR },
        { 1, RTSTR },
        { 9, RTSTR },
        { 10, RT3DPOINT },
        { 37, RT3DPOINT },
        { 38, RTREAL },
        { 49, RTREAL },
        { 50, RTANG },
        { 59, RTANG },
        { 60, RTSHORT },
        { 79, RTSHORT },
        { 80, RTSTR },
        { 89, RTSTR },
        { 90, RTSHORT },
        { 99, RTSHORT },
        { 100, RTSTR },
        { 109, RTSTR },
        { 110, RT3DPOINT },
        { 139, RT3DPOINT },
        { 140, RTREAL },
        { 149, RTREAL },
        { 150, RTANG },
        { 159, RTANG },
        { 160, RTSHORT },
        { 179, RTSHORT },
        { 180, RTSTR },
        { 209, RTSTR },
        { 210, RT3DPOINT },
        { 219, RT3DPOINT },
        { 220, 220 },
        { 259, 259 },
        { 260, RTSHORT },
        { 289, RTSHORT },
        { 290, 290 },
        { 299, 299 },
        { 300, RTSTR },
        { 329, RTSTR },
        { 330, RTENAME },
        { 369, RTENAME },
        { 370, 370 },
        { 899, 899 },
        { 900, RTSTR },
        { 1009, RTSTR },
        { 1010, RT3DPOINT },
        { 1039, RT3DPOINT },
        { 1040, RTREAL },
        { 1049, RTREAL },
        { 1050, RTANG },
        { 1059, RTANG },
        { 1060, RTSHORT },
        { 1079, RTSHORT },
        { 1080, 1080 },
        { 4999, 4999 },
        { -32768, -32768 },
        { 32767, 32767 },
        // Result types are their own result type.
        { 5001, 5001 },
        { 5003, 5003 },
        { 5005, 5005 },
        { 5016, 5016 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(resultTypeOf(c.code), c.type) << "code " << c.code;
}

TEST_F(ArgListTest, StringGroupCodesReadAsStringsAndOthersAsMismatches)
{
    chain = makeChain({ { 1, "one" }, { 9, "nine" }, { 300, "three" }, { 10, "" } });
    ArgList list(chain);
    char buf[ARG_BUFFER];
    for (std::int32_t i = 0; i < 3; ++i)
        EXPECT_EQ(list.getStringArg(i, buf), RTNORM) << i;
    EXPECT_STREQ(buf, "three");
    EXPECT_EQ(list.getStringArg(3, buf), RTERROR);
    EXPECT_EQ(fakeHost().printed, "\ngetAtom : type mismatched! (10)");
}

} // namespace
