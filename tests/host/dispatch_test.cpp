// ApplicationModule against the scripted host: every message code, the
// function table and its codes, definition per drawing, invocation by code,
// command registration and removal.
#include "host/application_module.h"
#include "host/banner.h"
#include "host/position_table.h"
#include "tests/host/fake_host.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

using namespace qorvan::host;
using qorvan::testing::fakeHost;
using qorvan::testing::FakeHost;

namespace {

const std::vector<std::string> NAMES = { "slb-append", "slb-delete", "slb-error", "slb-explode",
    "slb-extract", "slb-list", "slb-replace", "slb-remove", "slb-view", "QORVAN" };

std::string toolkitBanner()
{
    return std::string(TOOLKIT_CREDIT_1) + TOOLKIT_CREDIT_2
        + "\nRVK portions created on Sep 23 1999, 03:59:38\n";
}

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakeHost().reset();
        old = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        positionTable() = PositionTable {};
    }
    void TearDown() override { std::filesystem::current_path(old); }

    void init()
    {
        EXPECT_EQ(module.dispatchMessage(AcRx::kInitAppMsg, &packet), 0);
        fakeHost().printed.clear();
        fakeHost().prompted.clear();
    }

    int invoke(int code)
    {
        fakeHost().funCode = code;
        fakeHost().ret = FakeHost::Ret::None;
        return module.dispatchMessage(AcRx::kInvkSubrMsg, &packet);
    }

    qorvan::testing::TempDir dir;
    std::filesystem::path old;
    ApplicationModule module;
    int packet = 0;
};

TEST_F(Dispatch, InitialisationFillsTheTableAndRegistersTheCommand)
{
    EXPECT_EQ(module.dispatchMessage(AcRx::kInitAppMsg, &packet), 0);
    ASSERT_EQ(module.functions.functionCount(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(module.functions.functionAt(i).name, NAMES[static_cast<std::size_t>(i)]);
        EXPECT_EQ(module.functions.functionAt(i).kind, i == 9 ? Command : LispFunction);
    }
    EXPECT_STREQ(module.groupName(), "Qorvan");
    EXPECT_EQ(fakeHost().unlockCalls, 1);
    EXPECT_EQ(fakeHost().mdiCalls, 1);
    EXPECT_EQ(fakeHost().prompted, toolkitBanner());
    EXPECT_EQ(fakeHost().printed, toolkitBanner());
    EXPECT_EQ(fakeHost().commandsAdded,
        (std::vector<std::string> { "Qorvan QORVAN QORVAN 0 handler null -1 null null" }));
    EXPECT_TRUE(fakeHost().defined.empty()) << "functions are defined per drawing, not at initialisation";
}

TEST_F(Dispatch, LoadDrawingDefinesAllTenWithTheirCodes)
{
    init();
    module.dispatchMessage(AcRx::kLoadDwgMsg, &packet);
    EXPECT_EQ(fakeHost().defined, NAMES);
    for (short i = 0; i < 10; ++i)
        EXPECT_EQ(fakeHost().definedCodes[static_cast<std::size_t>(i)], i);
    module.dispatchMessage(AcRx::kUnloadDwgMsg, &packet);
    EXPECT_EQ(fakeHost().undefined, NAMES);
}

TEST_F(Dispatch, DefineFailureStopsWithTheKoreanMessage)
{
    init();
    fakeHost().defunFailsAt = 4;
    module.dispatchMessage(AcRx::kLoadDwgMsg, &packet);
    EXPECT_EQ(fakeHost().defined, (std::vector<std::string>(NAMES.begin(), NAMES.begin() + 4)));
    EXPECT_EQ(fakeHost().printed,
        "\n\xED\x95\xA8\xEC\x88\x98(slb-extract)\xEB\xA5\xBC \xEC\xA0\x95\xEC\x9D\x98\xED\x95\xA0 "
        "\xEC\x88\x98 \xEC\x97\x86\xEC\x8A\xB5\xEB\x8B\x88\xEB\x8B\xA4!");
}

TEST_F(Dispatch, UnknownFunctionCodesRunNothing)
{
    init();
    for (int code : { 10, -1, 11, 1000 }) {
        fakeHost().printed.clear();
        EXPECT_EQ(invoke(code), 0);
        EXPECT_EQ(fakeHost().printed, "\nUnknown subroutine!") << code;
        EXPECT_EQ(fakeHost().ret, FakeHost::Ret::None) << code;
    }
}

TEST_F(Dispatch, InvocationRunsTheHandlerOfTheCode)
{
    init();
    invoke(2); // slb-error
    EXPECT_EQ(fakeHost().ret, FakeHost::Ret::Str);
    EXPECT_EQ(fakeHost().retStr, "");
    EXPECT_EQ(fakeHost().printed, "");

    invoke(8); // slb-view without a display: fails, so nil
    EXPECT_EQ(fakeHost().ret, FakeHost::Ret::Nil);

    fakeHost().printed.clear();
    fakeHost().prompted.clear();
    invoke(9); // QORVAN as a function: toolkit banner, then no value
    EXPECT_EQ(fakeHost().ret, FakeHost::Ret::Void);
    EXPECT_EQ(fakeHost().prompted, toolkitBanner());
    EXPECT_EQ(fakeHost().printed.rfind(toolkitBanner() + MODULE_TITLE, 0), 0u);
}

int throwingHandler()
{
    throw std::runtime_error("escaping");
}

TEST_F(Dispatch, AnExceptionInAHandlerBecomesNil)
{
    init();
    module.functions.addFunction("thrower", throwingHandler, LispFunction);
    EXPECT_NO_THROW(invoke(10));
    EXPECT_EQ(fakeHost().ret, FakeHost::Ret::Nil);
}

TEST_F(Dispatch, OtherMessagesDoNothing)
{
    init();
    for (int msg : { 0, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, -1, 100 }) {
        EXPECT_EQ(module.dispatchMessage(msg, &packet), 0) << msg;
        EXPECT_EQ(module.message, msg);
        EXPECT_EQ(module.result, 0);
    }
    EXPECT_EQ(fakeHost().printed, "");
    EXPECT_TRUE(fakeHost().defined.empty());
    EXPECT_TRUE(fakeHost().undefined.empty());
    EXPECT_TRUE(fakeHost().groupsRemoved.empty());
    EXPECT_EQ(module.functions.functionCount(), 10);
}

TEST_F(Dispatch, UnloadRemovesTheGroupButKeepsTheTable)
{
    init();
    module.dispatchMessage(AcRx::kUnloadAppMsg, &packet);
    EXPECT_EQ(fakeHost().groupsRemoved, (std::vector<std::string> { "Qorvan" }));
    EXPECT_TRUE(fakeHost().undefined.empty());
    module.dispatchMessage(AcRx::kUnloadDwgMsg, &packet);
    EXPECT_EQ(fakeHost().undefined, NAMES) << "a later drawing unload still undefines all ten";
}

TEST_F(Dispatch, PositionFileIsLoadedAtInitAndSavedAtUnload)
{
    dir.write("RVK_DCL.CFG", "a = 1,2\na = 3,4\n");
    init();
    EXPECT_STREQ(positionTable().slots[0].name, "a");
    module.dispatchMessage(AcRx::kUnloadAppMsg, &packet);
    EXPECT_EQ(qorvan::testing::readFile(dir.path() / "RVK_DCL.CFG"), "a = 3,4\n");
}

TEST_F(Dispatch, MissingCommandStackOrWrongClassSkipsTheCommand)
{
    fakeHost().commandStackPresent = false;
    init();
    EXPECT_TRUE(fakeHost().commandsAdded.empty());
    module.dispatchMessage(AcRx::kUnloadAppMsg, &packet);
    EXPECT_TRUE(fakeHost().groupsRemoved.empty());

    ApplicationModule other;
    fakeHost().reset();
    fakeHost().commandStackWrongClass = true;
    other.dispatchMessage(AcRx::kInitAppMsg, &packet);
    EXPECT_TRUE(fakeHost().commandsAdded.empty());
}

TEST_F(Dispatch, NoRegistryMeansNoLinkerCalls)
{
    fakeHost().registryPresent = false;
    init();
    EXPECT_EQ(fakeHost().unlockCalls, 0);
    EXPECT_EQ(module.functions.functionCount(), 10);
}

TEST_F(Dispatch, FailedTableGrowthShiftsTheLaterCodes)
{
    detail::failNextGrowths(1);
    init();
    ASSERT_EQ(module.functions.functionCount(), 9);
    EXPECT_STREQ(module.functions.functionAt(0).name, "slb-delete");
    EXPECT_STREQ(module.functions.functionAt(8).name, "QORVAN");
}

} // namespace
