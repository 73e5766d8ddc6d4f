// The one writer: what a replaced file keeps, where it is written when the
// path is a link, and that no failure leaves the old file changed or a
// temporary file behind.
#include "platform/save_file.h"
#include "tests/support/as_user.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>

#include <sys/stat.h>
#include <sys/xattr.h>

using namespace qorvan::platform;
namespace fs = std::filesystem;
using qorvan::testing::readFile;
using qorvan::testing::TempDir;

namespace {

struct stat statOf(const std::string& p)
{
    struct stat st { };
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st;
}

unsigned modeOf(const std::string& p)
{
    return statOf(p).st_mode & 07777;
}

bool save(const std::string& target, const std::string& bytes, bool durable = true)
{
    SaveFile f;
    f.setDurable(durable);
    return f.open(target) && f.write(bytes.data(), bytes.size()) && f.commit();
}

// Every file in the folder, so a test can see that nothing was left.
std::vector<std::string> listing(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SaveFileTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        faults::resetCounts();
        SaveFile::setBeforeReplaceHook({});
        SaveFile::setWarningHandler({});
    }
    TempDir t;
};

} // namespace

TEST_F(SaveFileTest, ModeIsTheOldFilesFromTheFirstByte)
{
    const unsigned modes[] = { 0600, 0640, 0664, 0444, 0700 };
    for (unsigned mode : modes) {
        SCOPED_TRACE(mode);
        std::string p = t.str("f");
        t.write("f", "old");
        ::chmod(p.c_str(), mode);
        SaveFile f;
        ASSERT_TRUE(f.open(p));
        // Before any byte is written, the temporary file is no wider.
        EXPECT_EQ(modeOf(f.tempPath()), mode);
        ASSERT_TRUE(f.write("new", 3));
        ASSERT_TRUE(f.commit());
        EXPECT_EQ(modeOf(p), mode);
        EXPECT_EQ(readFile(p), "new");
        ::chmod(p.c_str(), 0600);
    }
}

TEST_F(SaveFileTest, NewFileFollowsTheUmask)
{
    mode_t old = ::umask(027);
    EXPECT_TRUE(save(t.str("n"), "x"));
    ::umask(old);
    EXPECT_EQ(modeOf(t.str("n")), 0640u);
}

TEST_F(SaveFileTest, LinksStayLinksAndTheirTargetIsReplaced)
{
    fs::create_directories(t.path() / "real");
    fs::create_directories(t.path() / "elsewhere");
    t.write("real/lib", "old");
    // absolute, relative from another folder, a chain of two
    fs::create_symlink(t.path() / "real/lib", t.path() / "abs");
    fs::create_symlink("../real/lib", t.path() / "elsewhere/rel");
    fs::create_symlink("rel", t.path() / "elsewhere/chain");
    int n = 0;
    for (const char* link : { "abs", "elsewhere/rel", "elsewhere/chain" }) {
        SCOPED_TRACE(link);
        std::string bytes = "v" + std::to_string(++n);
        ASSERT_TRUE(save(t.str(link), bytes));
        EXPECT_TRUE(fs::is_symlink(t.path() / link));
        EXPECT_EQ(readFile(t.path() / "real/lib"), bytes);
    }
    EXPECT_EQ(listing(t.path() / "real"), std::vector<std::string> { "lib" });
    EXPECT_EQ(listing(t.path() / "elsewhere"), (std::vector<std::string> { "chain", "rel" }));
}

TEST_F(SaveFileTest, DanglingLinkCreatesItsTarget)
{
    fs::create_symlink("made", t.path() / "link");
    ASSERT_TRUE(save(t.str("link"), "x"));
    EXPECT_TRUE(fs::is_symlink(t.path() / "link"));
    EXPECT_EQ(readFile(t.path() / "made"), "x");
}

TEST_F(SaveFileTest, LinksOthersCouldHavePlantedAreRefused)
{
    if (!qorvan::testing::runningAsRoot()) GTEST_SKIP() << "needs root to give links away";
    const uid_t other = qorvan::testing::NOBODY;
    t.write("victim", "precious");
    fs::create_directories(t.path() / "sticky");
    ::chmod(t.str("sticky").c_str(), 01777);
    fs::create_directories(t.path() / "theirs");
    ::chown(t.str("theirs").c_str(), other, other);
    fs::create_directories(t.path() / "mine");
    struct Case {
        const char* link;
        uid_t owner;
        int refusal; // 0: followed
    } cases[] = {
        { "mine/own", 0, 0 },
        { "mine/planted", other, LINK_NOT_OURS },
        { "sticky/own", 0, LINK_IN_SHARED_FOLDER },
        { "sticky/planted", other, LINK_NOT_OURS },
        { "theirs/own", 0, LINK_IN_SHARED_FOLDER },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        fs::create_symlink(t.path() / "victim", t.path() / c.link);
        ASSERT_EQ(::lchown(t.str(c.link).c_str(), c.owner, c.owner), 0);
        std::string refused;
        errno = 0;
        const std::string to = followLinks(t.str(c.link), &refused);
        EXPECT_EQ(to.empty(), c.refusal != 0) << to;
        SaveFile f;
        EXPECT_EQ(f.open(t.str(c.link)), c.refusal == 0);
        if (c.refusal == 0) continue;
        EXPECT_EQ(f.failure(), SaveFile::Failure::Target);
        EXPECT_EQ(refused, t.str(c.link));
        IoFailure noted = takeFailure();
        EXPECT_EQ(noted.error, c.refusal);
        EXPECT_EQ(noted.file, t.str(c.link));
    }
    // A chain is judged link by link: the user's own first link leads to
    // a planted one.
    fs::create_symlink(t.path() / "mine/planted", t.path() / "mine/chain");
    EXPECT_EQ(followLinks(t.str("mine/chain")), "");
    EXPECT_EQ(errno, LINK_NOT_OURS);
    EXPECT_EQ(readFile(t.path() / "victim"), "precious");
}

TEST_F(SaveFileTest, LinkLoopIsRefused)
{
    fs::create_symlink("b", t.path() / "a");
    fs::create_symlink("a", t.path() / "b");
    SaveFile f;
    EXPECT_FALSE(f.open(t.str("a")));
    EXPECT_EQ(f.failure(), SaveFile::Failure::Target);
}

TEST_F(SaveFileTest, OnlyRegularFilesAreReplaced)
{
    fs::create_directory(t.path() / "dir");
    ASSERT_EQ(::mkfifo(t.str("fifo").c_str(), 0600), 0);
    for (const std::string& p : { t.str("dir"), t.str("fifo"), std::string("/dev/null") }) {
        SCOPED_TRACE(p);
        SaveFile f;
        EXPECT_FALSE(f.open(p));
        EXPECT_EQ(f.failure(), SaveFile::Failure::Target);
    }
    EXPECT_TRUE(fs::is_fifo(t.path() / "fifo"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(listing(t.path()), (std::vector<std::string> { "dir", "fifo" }));
}

TEST_F(SaveFileTest, EveryFailureKeepsTheOldFileAndLeavesNoTemporary)
{
    struct Case {
        IoOp op;
        SaveFile::Failure expected;
    };
    const Case cases[] = {
        { IoOp::Open, SaveFile::Failure::Temp },
        { IoOp::Write, SaveFile::Failure::None }, // the caller's write fails; the caller gives up
        { IoOp::Flush, SaveFile::Failure::Temp },
        { IoOp::Close, SaveFile::Failure::Temp },
        { IoOp::Rename, SaveFile::Failure::Replace },
    };
    for (bool durable : { true, false })
        for (const Case& c : cases) {
            // Only a durable file is flushed.
            if (!durable && c.op == IoOp::Flush) continue;
            SCOPED_TRACE(std::string(ioOpName(c.op)) + (durable ? ", durable" : ", unflushed"));
            t.write("f", "old contents");
            faults::resetCounts();
            faults::arm(c.op, 1);
            SaveFile f;
            f.setDurable(durable);
            bool ok = f.open(t.str("f")) && f.write("new", 3) && f.commit();
            f.discard();
            EXPECT_FALSE(ok);
            EXPECT_TRUE(faults::fired());
            EXPECT_EQ(f.failure(), c.expected);
            EXPECT_EQ(readFile(t.path() / "f"), "old contents");
            EXPECT_EQ(listing(t.path()), std::vector<std::string> { "f" });
        }
}

TEST_F(SaveFileTest, AbandonedWriteRemovesItsTemporary)
{
    t.write("f", "old");
    {
        SaveFile f;
        ASSERT_TRUE(f.open(t.str("f")));
        f.write("half", 4);
    }
    EXPECT_EQ(readFile(t.path() / "f"), "old");
    EXPECT_EQ(listing(t.path()), std::vector<std::string> { "f" });
}

TEST_F(SaveFileTest, TakenTemporaryNamesAreSkippedNotOverwritten)
{
    t.write("f", "old");
    t.write("f.tmp", "user's own");
    t.write("f-1.tmp", "another");
    SaveFile f;
    ASSERT_TRUE(f.open(t.str("f")));
    EXPECT_EQ(f.tempName(), "f-2.tmp");
    ASSERT_TRUE(f.write("n", 1));
    ASSERT_TRUE(f.commit());
    EXPECT_EQ(readFile(t.path() / "f.tmp"), "user's own");
    EXPECT_EQ(readFile(t.path() / "f-1.tmp"), "another");
}

TEST_F(SaveFileTest, TargetReplacedByAnotherProgramIsKept)
{
    t.write("f", "read");
    FileId id;
    {
        File r = File::openNative(t.str("f"), OpenMode::Read);
        ASSERT_TRUE(r.id(id));
    }
    SaveFile::setBeforeReplaceHook([&](const SaveFile&) {
        t.write("other", "theirs");
        fs::rename(t.path() / "other", t.path() / "f");
    });
    SaveFile f;
    ASSERT_TRUE(f.open(t.str("f")));
    f.expectTarget(id);
    ASSERT_TRUE(f.write("mine", 4));
    EXPECT_FALSE(f.commit());
    EXPECT_EQ(f.failure(), SaveFile::Failure::Changed);
    EXPECT_EQ(readFile(t.path() / "f"), "theirs");
    EXPECT_EQ(listing(t.path()), std::vector<std::string> { "f" });
}

TEST_F(SaveFileTest, NewFileDoesNotReplaceOneCreatedMeanwhile)
{
    SaveFile::setBeforeReplaceHook([&](const SaveFile&) { t.write("f", "theirs"); });
    SaveFile f;
    ASSERT_TRUE(f.open(t.str("f")));
    f.expectNoTarget();
    ASSERT_TRUE(f.write("mine", 4));
    EXPECT_FALSE(f.commit());
    EXPECT_EQ(f.failure(), SaveFile::Failure::Changed);
    EXPECT_EQ(readFile(t.path() / "f"), "theirs");
    EXPECT_EQ(listing(t.path()), std::vector<std::string> { "f" });
}

TEST_F(SaveFileTest, RootKeepsOwnerAndGroup)
{
    if (!qorvan::testing::runningAsRoot()) GTEST_SKIP() << "needs root to give files away";
    t.write("f", "old");
    ASSERT_EQ(::chown(t.str("f").c_str(), 65534, 65534), 0);
    ::chmod(t.str("f").c_str(), 0640);
    SaveFile f;
    ASSERT_TRUE(f.open(t.str("f")));
    // Given away before the first byte, not after the rename.
    EXPECT_EQ(statOf(f.tempPath()).st_uid, 65534u);
    ASSERT_TRUE(f.write("new", 3));
    ASSERT_TRUE(f.commit());
    struct stat st = statOf(t.str("f"));
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(SaveFileTest, GroupRightsDoNotPassToAnotherGroup)
{
    if (!qorvan::testing::runningAsRoot()) GTEST_SKIP() << "needs root to change user";
    // A group-writable file of group 0 in a folder open to all, rewritten by
    // a user who is not in group 0: the new file cannot have group 0, so it
    // must not keep group rights for the user's own group either.
    fs::permissions(t.path(), fs::perms::all);
    t.write("f", "old");
    ::chmod(t.str("f").c_str(), 0666);
    int rc = qorvan::testing::runAs(65534, 65534, [&] { return save(t.str("f"), "new") ? 0 : 1; });
    ASSERT_EQ(rc, 0);
    struct stat st = statOf(t.str("f"));
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_mode & 0070, 0u);
    EXPECT_EQ(st.st_mode & 0707, 0606u);
}

TEST_F(SaveFileTest, ExtendedAttributesAreKept)
{
    t.write("f", "old");
    const char value[] = "kept";
    if (::setxattr(t.str("f").c_str(), "user.qorvan.test", value, 4, 0) != 0)
        GTEST_SKIP() << "no user attributes on this file system";
    ASSERT_TRUE(save(t.str("f"), "new"));
    char got[16] = {};
    EXPECT_EQ(::getxattr(t.str("f").c_str(), "user.qorvan.test", got, sizeof got), 4);
    EXPECT_STREQ(got, "kept");
}

TEST_F(SaveFileTest, UnflushableFolderIsAWarningNotAFailure)
{
    std::vector<std::string> warnings;
    SaveFile::setWarningHandler([&](const std::string& w) { warnings.push_back(w); });
    t.write("f", "old");
    faults::arm(IoOp::Flush, 2); // the first flush is the file's, the second the folder's
    ASSERT_TRUE(save(t.str("f"), "new"));
    EXPECT_EQ(readFile(t.path() / "f"), "new");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(t.str("f")), std::string::npos);
}

// An unflushed file (a picture) takes the old one's place by another system
// call than a durable one; the folder must end up the same either way,
// whatever another program did to the name meanwhile.
TEST_F(SaveFileTest, UnflushedAndDurableSavesLeaveTheSameFolder)
{
    struct Case {
        const char* name;
        std::function<void(const TempDir&)> before; // sets up the folder
        std::function<void(const TempDir&)> meanwhile; // between open and commit
        bool commits;
        std::vector<std::string> files;
        std::string contents; // of f afterwards; empty when f is no file
    };
    auto none = [](const TempDir&) {};
    const Case cases[] = {
        { "new file", none, none, true, { "f" }, "new" },
        { "old file", [](const TempDir& d) { d.write("f", "old"); }, none, true, { "f" }, "new" },
        { "old file removed meanwhile", [](const TempDir& d) { d.write("f", "old"); },
            [](const TempDir& d) { fs::remove(d.path() / "f"); }, true, { "f" }, "new" },
        { "file created meanwhile", none, [](const TempDir& d) { d.write("f", "theirs"); }, true, { "f" },
            "new" },
        { "hard link split",
            [](const TempDir& d) {
                d.write("f", "old");
                fs::create_hard_link(d.path() / "f", d.path() / "g");
            },
            none, true, { "f", "g" }, "new" },
        { "folder took the name meanwhile", [](const TempDir& d) { d.write("f", "old"); },
            [](const TempDir& d) {
                fs::remove(d.path() / "f");
                d.write("f/inside", "kept");
            },
            false, { "f" }, "" },
    };
    for (bool durable : { true, false })
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (durable ? ", durable" : ", unflushed"));
            TempDir d;
            c.before(d);
            SaveFile::setBeforeReplaceHook([&](const SaveFile&) { c.meanwhile(d); });
            EXPECT_EQ(save(d.str("f"), "new", durable), c.commits);
            SaveFile::setBeforeReplaceHook({});
            EXPECT_EQ(listing(d.path()), c.files);
            if (!c.contents.empty()) {
                EXPECT_EQ(readFile(d.path() / "f"), c.contents);
            }
            if (fs::exists(d.path() / "g")) {
                EXPECT_EQ(readFile(d.path() / "g"), "old");
            }
            if (fs::is_directory(d.path() / "f")) {
                EXPECT_EQ(readFile(d.path() / "f/inside"), "kept");
            }
        }
}

// A reader that opens the file while it is replaced, again and again, finds
// the old contents or the new, never no file and never a part.
TEST_F(SaveFileTest, ReaderNeverMissesTheFileWhileItIsReplaced)
{
    for (bool durable : { true, false }) {
        SCOPED_TRACE(durable ? "durable" : "unflushed");
        const std::string p = t.str("f");
        const std::string a(5000, 'a'), b(7000, 'b');
        ASSERT_TRUE(save(p, a, durable));
        std::atomic<bool> done { false };
        std::atomic<int> missing { 0 }, torn { 0 }, reads { 0 };
        std::thread reader([&] {
            while (!done) {
                std::ifstream in(p, std::ios::binary);
                if (!in) {
                    ++missing;
                    continue;
                }
                std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                if (got != a && got != b) ++torn;
                ++reads;
            }
        });
        // Durable saves wait for the disk; fewer of them show as much.
        for (int i = 0; i < (durable ? 20 : 300); ++i)
            ASSERT_TRUE(save(p, i % 2 ? a : b, durable));
        done = true;
        reader.join();
        EXPECT_EQ(missing, 0);
        EXPECT_EQ(torn, 0);
        EXPECT_GT(reads, 0);
        EXPECT_EQ(listing(t.path()), std::vector<std::string> { "f" });
    }
}
