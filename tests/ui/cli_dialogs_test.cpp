// qorvan view and qorvan manager as black boxes: the dialog each opens (the
// test seam prints it and closes it), option errors and the missing display.
#include "tests/e2e/run.h"
#include "tests/support/tempdir.h"
#include "tests/ui/sample_slides.h"

#include <gtest/gtest.h>

namespace {

using namespace qorvan::testing;

RunResult qorvan(
    const std::vector<std::string>& display, const std::vector<std::string>& args, const std::string& dir)
{
    std::vector<std::string> all = { "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM" };
    all.insert(all.end(), display.begin(), display.end());
    all.push_back(binary("qorvan"));
    all.insert(all.end(), args.begin(), args.end());
    return run("/usr/bin/env", all, dir);
}

const std::vector<std::string> OFFSCREEN = { "QT_QPA_PLATFORM=offscreen", "QORVAN_TEST_CLOSE_DIALOGS=1" };

TEST(CliDialogs, ViewOpensTheSlideWithTitleAndSize)
{
    TempDir tmp;
    tmp.write("plan.sld", sampleSlide("house.sld"));
    struct {
        std::vector<std::string> args;
        const char* shown;
    } cases[] = {
        { { "view", "plan" }, "dialog 141 \"PLAN\"" },
        { { "view", "plan", "--title", "Floor" }, "dialog 141 \"Floor\"" },
        { { "view", "plan", "--size", "600x400" }, "picture 1049 600x400" },
        { { "view", "plan" }, "picture 1049 420x300" },
    };
    for (const auto& c : cases) {
        RunResult r = qorvan(OFFSCREEN, c.args, tmp.str());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find(c.shown), std::string::npos) << r.err;
    }
}

TEST(CliDialogs, ManagerOpensInTheCurrentDirectory)
{
    TempDir tmp;
    RunResult r = qorvan(OFFSCREEN, { "manager" }, tmp.str());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("dialog 142 \"Qorvan : Version 1.5\""), std::string::npos) << r.err;
}

// Opening on a library makes its backup, as choosing it in the dialog does:
// the .bak beside it shows which library the manager opened, and where.
TEST(CliDialogs, ManagerOpensInAFolderOrOnALibrary)
{
    TempDir tmp;
    const std::string library = readFile(std::string(QORVAN_SOURCE_DIR) + "/samples/samples.slb");
    tmp.write("work/parts.slb", library);
    RunResult onLibrary = qorvan(OFFSCREEN, { "manager", "work/parts.slb" }, tmp.str());
    EXPECT_EQ(onLibrary.status, 0) << onLibrary.err;
    EXPECT_NE(onLibrary.err.find("dialog 142 "), std::string::npos) << onLibrary.err;
    EXPECT_EQ(readFile(tmp.path() / "work/parts.bak"), library);

    RunResult inFolder = qorvan(OFFSCREEN, { "manager", "work" }, tmp.str());
    EXPECT_EQ(inFolder.status, 0) << inFolder.err;
    EXPECT_NE(inFolder.err.find("dialog 142 "), std::string::npos) << inFolder.err;

    RunResult missing = qorvan(OFFSCREEN, { "manager", "nosuch" }, tmp.str());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "qorvan manager: nosuch: no such folder or library\n");
}

// A dialog would show a failure in a box and end with status 0: what the
// dialog cannot show is said on standard error before any window opens,
// and a file whose name holds brackets is that file.
TEST(CliDialogs, ViewAndManagerSayWhatIsWrongBeforeAnyWindow)
{
    TempDir tmp;
    tmp.write("plan (old).sld", sampleSlide("house.sld"));
    tmp.write("drawing(1).sld", sampleSlide("house.sld"));
    tmp.write("parts.slb", readFile(std::string(QORVAN_SOURCE_DIR) + "/samples/samples.slb"));
    for (const char* name : { "plan (old).sld", "drawing(1).sld", "parts(box)" }) {
        RunResult r = qorvan(OFFSCREEN, { "view", name }, tmp.str());
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_NE(r.err.find("dialog 141 "), std::string::npos) << r.err;
        // The seam prints the dialog and closes it; a failure box would be
        // a second dialog.
        EXPECT_EQ(r.err.find("dialog 141 ", r.err.find("dialog 141 ") + 1), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Can't open"), std::string::npos) << r.err;
    }
    struct {
        std::vector<std::string> args;
        const char* said;
    } refused[] = {
        { { "view", "nosuch" }, "qorvan view: nosuch" },
        { { "view", "parts(nosuch)" }, "NOSUCH" },
        { { "view", "parts.slb" }, "is a slide library, not a slide" },
        { { "manager", "drawing(1).sld" }, "is a slide, not a slide library" },
    };
    for (const auto& c : refused) {
        RunResult r = qorvan(OFFSCREEN, c.args, tmp.str());
        EXPECT_EQ(r.status, 1) << c.args[1];
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("dialog 14"), std::string::npos) << r.err;
    }
}

TEST(CliDialogs, BadSizeMissingReferenceAndNoDisplay)
{
    TempDir tmp;
    for (const char* size : { "600", "x400", "600x", "-5x10", "axb" }) {
        RunResult r = qorvan(OFFSCREEN, { "view", "plan", "--size", size }, tmp.str());
        EXPECT_EQ(r.status, 2) << size;
        EXPECT_NE(r.err.find("--size wants WIDTHxHEIGHT"), std::string::npos) << r.err;
    }
    RunResult missing = qorvan(OFFSCREEN, { "view" }, tmp.str());
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("REF"), std::string::npos) << missing.err;

    tmp.write("plan.sld", sampleSlide("house.sld"));
    RunResult none = qorvan({}, { "view", "plan" }, tmp.str());
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "qorvan: no display for the dialog (set DISPLAY, or QT_QPA_PLATFORM=offscreen)\n");

    RunResult help = qorvan({}, { "view", "--help" }, tmp.str());
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--size"), std::string::npos);
}

} // namespace
