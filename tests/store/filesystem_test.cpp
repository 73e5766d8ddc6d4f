// The store on a file system as users really have one: links, modes, owners,
// other programs replacing files, folders one cannot read, files that are
// not files, and names that differ only in letter case.
#include "platform/io.h"
#include "platform/save_file.h"
#include "store/edit.h"
#include "store/lock_p.h"
#include "store_fixture.h"
#include "tests/support/as_user.h"

#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qorvan;
using namespace qorvan::testing;
namespace fs = std::filesystem;

namespace {

struct stat statOf(const std::string& p)
{
    struct stat st { };
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st;
}

class FileSystemTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        write("a.sld", slideBytes("a", 300));
        write("b.sld", slideBytes("b", 500));
        write("c.sld", slideBytes("c", 700));
    }
    void TearDown() override
    {
        platform::SaveFile::setBeforeReplaceHook({});
        platform::faults::resetCounts();
        detail::setLockWait(0);
        detail::useLockFileAlways(false);
        StoreTest::TearDown();
    }
    std::string twoSlides() const { return makeLibrary({ { "A", read("a.sld") }, { "B", read("b.sld") } }); }
    // Gives the test folder to nobody, for the tests that change user.
    void giveAway() const
    {
        for (const auto& e : fs::recursive_directory_iterator(dir_.path()))
            ::lchown(e.path().c_str(), NOBODY, NOBODY);
        ::chown(dir_.str().c_str(), NOBODY, NOBODY);
    }
};

TEST_F(FileSystemTest, LibraryReplacedDuringAnEditIsKept)
{
    // Each edit reads the library, then another program puts a different
    // file in its place before the rename.
    struct Case {
        const char* what;
        std::function<int()> edit;
    };
    const Case cases[] = {
        { "append", [] { return appendSlide("lib", "c"); } },
        { "delete", [] { return deleteSlide("lib", "a"); } },
        { "replace", [] { return replaceSlide("lib", "b"); } },
        { "rename", [] { return renameSlide("lib", "a", "z"); } },
        { "append several", [] { return appendSlides("lib", { "c" }, {}).code; } },
        { "delete several",
            [] {
                return deleteSlides("lib", { "a", "b" }, {}).code;
            } },
        { "replace several",
            [] {
                return replaceSlides("lib", { "b", "c" }, {}).code;
            } },
        { "remove several", [] { return removeSlides("lib", { "a" }, ".", {}).code; } },
    };
    const std::string theirs = makeLibrary({ { "THEIRS", slideBytes("t", 4000) } });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write("lib.slb", twoSlides());
        platform::SaveFile::setBeforeReplaceHook([&](const platform::SaveFile&) {
            write("other.slb", theirs);
            fs::rename("other.slb", "lib.slb");
        });
        EXPECT_EQ(c.edit(), CannotOpen);
        EXPECT_STREQ(statusMessage(), "\"lib.slb\": Can't open file");
        EXPECT_EQ(read("lib.slb"), theirs);
        for (const std::string& f : files())
            EXPECT_EQ(f.find(".tmp"), std::string::npos) << f;
    }
}

TEST_F(FileSystemTest, NewLibraryDoesNotReplaceOneCreatedMeanwhile)
{
    const std::string theirs = makeLibrary({ { "THEIRS", "t" } });
    platform::SaveFile::setBeforeReplaceHook([&](const platform::SaveFile&) { write("new.slb", theirs); });
    EXPECT_EQ(appendSlide("new", "a"), CannotOpen);
    EXPECT_EQ(read("new.slb"), theirs);
}

TEST_F(FileSystemTest, EditsThroughALinkEditItsTarget)
{
    fs::create_directories("real");
    fs::create_directories("elsewhere");
    write("real/lib.slb", twoSlides());
    fs::create_symlink("../real/lib.slb", "elsewhere/lib.slb");
    ASSERT_EQ(appendSlide("elsewhere/lib", "c"), Ok) << statusMessage();
    ASSERT_EQ(deleteSlide("elsewhere/lib", "a"), Ok) << statusMessage();
    write("a2.sld", slideBytes("a2", 200));
    ASSERT_EQ(appendSlides("elsewhere/lib", { "a", "a2" }, {}).code, Ok) << statusMessage();
    ASSERT_EQ(deleteSlides("elsewhere/lib", { "a2", "c" }, {}).code, Ok) << statusMessage();
    EXPECT_TRUE(fs::is_symlink("elsewhere/lib.slb"));
    EXPECT_EQ(namesIn(parseLibrary(read("real/lib.slb"))), (std::vector<std::string> { "B", "A" }));
    EXPECT_EQ(std::distance(fs::directory_iterator("real"), fs::directory_iterator()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator("elsewhere"), fs::directory_iterator()), 1);
}

// Writers that reach one library by different names: a link in another
// folder, a path through "..", and other letter case.
TEST_F(FileSystemTest, WritersThroughDifferentNamesTakeTurns)
{
    fs::create_directories("Real/sub");
    fs::create_directories("links");
    fs::create_symlink("../Real/shared.slb", "links/shared.slb");
    write("Real/shared.slb", makeLibrary({ { "FIRST", "f" } }));
    const char* names[] = { "Real/shared", "links/shared", "Real/sub/../shared", "real/SHARED" };
    constexpr int PER_WRITER = 12;
    for (int w = 0; w < 4; ++w)
        for (int i = 0; i < PER_WRITER; ++i)
            write("in/w" + std::to_string(w) + "_" + std::to_string(i) + ".sld",
                slideBytes("w" + std::to_string(w), 1000 + static_cast<std::size_t>(i)));
    std::vector<pid_t> children;
    for (int w = 0; w < 4; ++w) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < PER_WRITER; ++i) {
                std::string slide = "in/w" + std::to_string(w) + "_" + std::to_string(i);
                if (appendSlide(names[w], slide.c_str()) != Ok) ++failures;
            }
            ::_exit(failures);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_TRUE(fs::is_symlink("links/shared.slb"));
    EXPECT_EQ(parseLibrary(read("Real/shared.slb")).size(), 1u + 4u * PER_WRITER);
}

TEST_F(FileSystemTest, ModeIsKept)
{
    for (unsigned mode : { 0600u, 0640u, 0664u }) {
        SCOPED_TRACE(mode);
        write("lib.slb", twoSlides());
        ::chmod("lib.slb", mode);
        ASSERT_EQ(appendSlide("lib", "c"), Ok) << statusMessage();
        EXPECT_EQ(statOf("lib.slb").st_mode & 07777, mode);
        ASSERT_EQ(deleteSlide("lib", "c"), Ok) << statusMessage();
        EXPECT_EQ(statOf("lib.slb").st_mode & 07777, mode);
    }
}

TEST_F(FileSystemTest, RootEditingAnotherUsersLibraryKeepsItTheirs)
{
    if (!runningAsRoot()) GTEST_SKIP() << "needs root";
    write("lib.slb", twoSlides());
    ::chown("lib.slb", NOBODY, NOBODY);
    ::chmod("lib.slb", 0600);
    ASSERT_EQ(appendSlide("lib", "c"), Ok) << statusMessage();
    struct stat st = statOf("lib.slb");
    EXPECT_EQ(st.st_uid, NOBODY);
    EXPECT_EQ(st.st_gid, NOBODY);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(FileSystemTest, ReadOnlyLibraryIsNotRewritten)
{
    if (!runningAsRoot()) GTEST_SKIP() << "needs root to act as another user";
    write("lib.slb", twoSlides());
    ::chmod("lib.slb", 0444);
    giveAway();
    const std::string before = read("lib.slb");
    struct Case {
        const char* what;
        std::function<int()> edit;
    };
    const Case cases[] = {
        { "append", [] { return appendSlide("lib", "c"); } },
        { "delete", [] { return deleteSlide("lib", "a"); } },
        { "replace", [] { return replaceSlide("lib", "b"); } },
        { "remove", [] { return removeSlide("lib", "a", "."); } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(runAs(NOBODY, NOBODY, c.edit), CannotOpen);
        EXPECT_EQ(read("lib.slb"), before);
    }
    // Reading still works, and so does the owner's own edit once allowed.
    EXPECT_EQ(runAs(NOBODY, NOBODY, [] { return extractSlide("lib", "a", "."); }), Ok);
    ::chmod("lib.slb", 0644);
    EXPECT_EQ(runAs(NOBODY, NOBODY, [] { return appendSlide("lib", "c"); }), Ok);
}

TEST_F(FileSystemTest, FolderThatCannotBeReadStillTakesEditsInTurn)
{
    if (!runningAsRoot()) GTEST_SKIP() << "needs root to act as another user";
    fs::create_directories("box");
    write("box/lib.slb", twoSlides());
    giveAway();
    ::chmod("box", 0333);
    constexpr int WRITERS = 3;
    constexpr int PER_WRITER = 8;
    for (int w = 0; w < WRITERS; ++w)
        for (int i = 0; i < PER_WRITER; ++i)
            write("w" + std::to_string(w) + "_" + std::to_string(i) + ".sld",
                slideBytes("w" + std::to_string(w), 400 + static_cast<std::size_t>(i)));
    std::vector<pid_t> children;
    for (int w = 0; w < WRITERS; ++w) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int rc = runAs(NOBODY, NOBODY, [w] {
                int failures = 0;
                for (int i = 0; i < PER_WRITER; ++i) {
                    std::string slide = "w" + std::to_string(w) + "_" + std::to_string(i);
                    if (appendSlide("box/lib", slide.c_str()) != Ok) ++failures;
                }
                return failures;
            });
            ::_exit(rc < 0 ? 100 : rc);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "edits reported as failed";
    }
    ::chmod("box", 0755);
    EXPECT_EQ(parseLibrary(read("box/lib.slb")).size(), 2u + WRITERS * PER_WRITER);
}

TEST_F(FileSystemTest, OnlyRegularFilesAreSlides)
{
    ASSERT_EQ(::mkfifo("pipe.sld", 0600), 0);
    write("lib.slb", twoSlides());
    const std::string before = read("lib.slb");
    // In a child with an alarm, so that a regression hangs one child, not
    // the test run.
    for (const char* slide : { "pipe.sld", "/dev/zero", "/dev/null" }) {
        SCOPED_TRACE(slide);
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::alarm(10);
            ::_exit(appendSlide("lib", slide));
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "blocked or crashed";
        EXPECT_EQ(WEXITSTATUS(status), CannotOpen);
        EXPECT_EQ(read("lib.slb"), before);
    }
    EXPECT_EQ(replaceSlide("lib", "pipe.sld"), CannotOpen);
    EXPECT_STREQ(statusMessage(), "\"pipe.sld\": Can't open file");
}

TEST_F(FileSystemTest, WritersLockIsWaitedForOnlySoLong)
{
    write("lib.slb", twoSlides());
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        int d = ::open(".", O_RDONLY | O_DIRECTORY);
        ::flock(d, LOCK_EX);
        char c = 'x';
        (void)!::write(fds[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(fds[0], &c, 1), 1);
    detail::setLockWait(300);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(appendSlide("lib", "c"), CannotOpen);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_STREQ(statusMessage(), "\"lib.slb\": Can't open file");
    EXPECT_EQ(statusCause().error, platform::LOCK_BUSY) << statusCause().file;
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_LT(waited, std::chrono::seconds(5));
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(fds[0]);
    ::close(fds[1]);
    EXPECT_EQ(appendSlide("lib", "c"), Ok) << statusMessage();
}

TEST_F(FileSystemTest, StaleLockFileIsTakenOverAndALiveOneWaitedFor)
{
    detail::useLockFileAlways(true);
    detail::setLockWait(300);
    write("lib.slb", twoSlides());
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    // A process that has ended: its pid is free (until reused, which the
    // test cannot rule out but makes unlikely by asking at once).
    pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    write(detail::LOCK_FILE_NAME, std::to_string(dead) + " " + host + "\n");
    ASSERT_EQ(appendSlide("lib", "c"), Ok) << statusMessage();
    EXPECT_FALSE(exists(detail::LOCK_FILE_NAME));
    // Held by a live process (this one's parent), or by another machine.
    for (std::string holder :
        { std::to_string(::getppid()) + " " + host, std::string("1 some-other-host") }) {
        SCOPED_TRACE(holder);
        write(detail::LOCK_FILE_NAME, holder + "\n");
        EXPECT_EQ(deleteSlide("lib", "c"), CannotOpen);
        EXPECT_EQ(read(detail::LOCK_FILE_NAME), holder + "\n");
    }
}

TEST_F(FileSystemTest, EmptyLockFileLeftByAKillCostsNoWait)
{
    // A holder killed between creating the lock file and writing its text
    // leaves it empty; a moment later it can be no live holder's.
    detail::useLockFileAlways(true);
    detail::setLockWait(10000);
    write("lib.slb", twoSlides());
    write(detail::LOCK_FILE_NAME, "");
    const struct timespec old[2] = { { ::time(nullptr) - 60, 0 }, { ::time(nullptr) - 60, 0 } };
    ASSERT_EQ(::utimensat(AT_FDCWD, detail::LOCK_FILE_NAME, old, 0), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(appendSlide("lib", "c"), Ok) << statusMessage();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(exists(detail::LOCK_FILE_NAME));

    // One just made may be a holder about to write: waited for, and the
    // failure names the lock.
    detail::setLockWait(300);
    write(detail::LOCK_FILE_NAME, "");
    EXPECT_EQ(deleteSlide("lib", "c"), CannotOpen);
    EXPECT_EQ(statusCause().error, platform::LOCK_BUSY);
    EXPECT_NE(statusCause().file.find(detail::LOCK_FILE_NAME), std::string::npos) << statusCause().file;
}

TEST_F(FileSystemTest, ExactSpellingWinsInEveryComponent)
{
    fs::create_directories("Work");
    fs::create_directories("WORK");
    const std::string upper = makeLibrary({ { "UPPER", "u" } });
    write("Work/LIB.SLB", upper);
    write("Work/Lib.slb", twoSlides());
    write("WORK/Lib.slb", upper);
    ASSERT_EQ(appendSlide("Work/Lib.slb", "c"), Ok) << statusMessage();
    EXPECT_EQ(namesIn(parseLibrary(read("Work/Lib.slb"))), (std::vector<std::string> { "A", "B", "C" }));
    EXPECT_EQ(read("Work/LIB.SLB"), upper);
    EXPECT_EQ(read("WORK/Lib.slb"), upper);
    ASSERT_EQ(deleteSlide("Work/LIB.SLB", "upper"), Ok) << statusMessage();
    EXPECT_EQ(read("Work/LIB.SLB").size(), 68u);
    EXPECT_EQ(namesIn(parseLibrary(read("Work/Lib.slb"))), (std::vector<std::string> { "A", "B", "C" }));
    EXPECT_EQ(read("WORK/Lib.slb"), upper);
}

TEST_F(FileSystemTest, ExtractedFileIsOnDiskBeforeTheLibraryLosesTheSlide)
{
    write("lib.slb", twoSlides());
    const std::string before = read("lib.slb");
    // The first flush of a remove must be the extracted file's: failing it
    // fails the remove before the library is touched.
    platform::faults::resetCounts();
    platform::faults::arm(platform::IoOp::Flush, 1);
    fs::create_directories("out");
    EXPECT_EQ(removeSlide("lib", "a", "out"), CannotOpen);
    EXPECT_STREQ(statusMessage(), "\"out\\A.SLD\": Can't open file");
    EXPECT_FALSE(exists("out/A.SLD"));
    EXPECT_EQ(read("lib.slb"), before);
    platform::faults::resetCounts();
    ASSERT_EQ(removeSlide("lib", "a", "out"), Ok) << statusMessage();
    EXPECT_EQ(read("out/A.SLD"), read("a.sld"));
}

} // namespace
