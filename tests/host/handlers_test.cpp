// The library handlers against the scripted host: the result chain is
// released after the host copied it, and a chain that cannot be built gives
// nil with the memory-shortage status and no leftover nodes.
#include "host/handlers.h"
#include "store/status.h"
#include "tests/host/fake_host.h"

#include <gtest/gtest.h>

#include <string>

using namespace qorvan::host;
using qorvan::testing::fakeHost;
using qorvan::testing::FakeHost;
using qorvan::testing::freeChain;
using qorvan::testing::makeChain;

namespace {

const std::string SAMPLES = std::string(QORVAN_SOURCE_DIR) + "/samples/samples";

class Handlers : public ::testing::Test {
protected:
    void SetUp() override { fakeHost().reset(); }
    void TearDown() override { freeChain(fakeHost().args); }
};

TEST_F(Handlers, ListReleasesItsChainAfterTheHostCopiedIt)
{
    fakeHost().args = makeChain({ { RTSTR, SAMPLES } });
    EXPECT_EQ(slbList(), RTNORM);
    EXPECT_EQ(fakeHost().ret, FakeHost::Ret::List);
    EXPECT_EQ(fakeHost().retList, (std::vector<std::string> { "BOX", "CIRCLE", "GEAR", "STAR" }));
    EXPECT_EQ(fakeHost().liveNodes, 0);
}

TEST_F(Handlers, NoNodeForTheListGivesNilAndNoMemory)
{
    for (int failAt : { 0, 2, 3 }) {
        fakeHost().reset();
        fakeHost().args = makeChain({ { RTSTR, SAMPLES } });
        fakeHost().newRbFailsAt = failAt;
        EXPECT_EQ(slbList(), RTNORM);
        EXPECT_EQ(fakeHost().ret, FakeHost::Ret::Nil) << failAt;
        EXPECT_EQ(qorvan::lastStatus(), qorvan::NoMemory) << failAt;
        EXPECT_EQ(fakeHost().liveNodes, 0) << failAt;
        freeChain(fakeHost().args);
        fakeHost().args = nullptr;
    }
}

TEST_F(Handlers, BannerResetsTheStatusExceptForSlbError)
{
    qorvan::setStatus(qorvan::SlideNotFound, "lib", "X");
    EXPECT_EQ(slbError(), RTNORM);
    EXPECT_EQ(fakeHost().retStr, "Slide X not found in library lib.");
    EXPECT_EQ(fakeHost().printed, "");
    EXPECT_NE(slbAppend(), RTNORM) << "no arguments";
    EXPECT_EQ(qorvan::lastStatus(), qorvan::Ok);
    EXPECT_EQ(fakeHost().printed,
        "\nQorvan & Library Handling Functions\nVersion 1.5 by the Qorvan developers\n\nerror: to few "
        "arguments\n");
}

} // namespace
