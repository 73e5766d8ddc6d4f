// qorvan among other users who may be hostile: links planted in shared
// folders, writers of other users and umasks on one library, and another
// program replacing the library at the last moment.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/cli/support.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/as_user.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    namespace fs = std::filesystem;

    // Users that need no entry in the password file: the kernel checks
    // numbers, not names.
    constexpr uid_t VICTIM = 61001;
    constexpr uid_t OTHER = 61002;

    std::string slide(unsigned size)
    {
        return SlideBytes::newForm(100, 100).vector(0, 0, size, 100).end().b;
    }

    bool canChangeUser()
    {
        return runningAsRoot() && fs::exists("/usr/bin/setpriv");
    }

    std::vector<std::string> asUser(
        uid_t uid, const std::vector<std::string>& args, const char* umask = "022")
    {
        std::vector<std::string> all = { "/usr/bin/setpriv", "--reuid=" + std::to_string(uid),
            "--regid=" + std::to_string(uid), "--clear-groups", "/bin/sh", "-c",
            std::string("umask ") + umask + " && exec \"$0\" \"$@\"", binary("qorvan") };
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }

    RunResult runAsUser(uid_t uid, const std::vector<std::string>& args, const std::string& cwd)
    {
        std::vector<std::string> all = asUser(uid, args);
        std::string program = all.front();
        all.erase(all.begin());
        return run(program, all, cwd);
    }

    std::vector<std::string> namesIn(const fs::path& dir)
    {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (!e.is_directory()) names.push_back(fs::relative(e.path(), dir).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Every command that writes files into a folder, first run into a fresh
    // folder to learn what it writes there, then into a sticky, world-writable
    // folder where another user has planted a link under each of those names:
    // half to files of the victim, half to files that do not exist yet.
    TEST(HostileUsers, PlantedLinksAreNotWrittenThrough)
    {
        if (!canChangeUser()) GTEST_SKIP() << "needs root and setpriv";
        const std::vector<std::vector<std::string>> commands = {
            { "explode", "lib", "-d", "OUT" },
            { "extract", "lib", "box", "gear", "-d", "OUT" },
            { "remove", "lib", "gear", "-d", "OUT" },
            { "render", "lib", "--all", "-d", "OUT" },
            { "convert", "lib", "--all", "-d", "OUT" },
            { "gallery", "lib", "-d", "OUT" },
        };
        for (uid_t victim : { uid_t(0), VICTIM }) {
            for (const auto& command : commands) {
                SCOPED_TRACE(command[0] + " as uid " + std::to_string(victim));
                TempDir t;
                ::chmod(t.str().c_str(), 0755);
                t.write("box.sld", slide(10));
                t.write("gear.sld", slide(20));
                ASSERT_EQ(qorvan({ "append", "lib", "box" }, t.str()).status, 0);
                ASSERT_EQ(qorvan({ "append", "lib", "gear" }, t.str()).status, 0);
                for (const auto& e : fs::recursive_directory_iterator(t.path()))
                    ::lchown(e.path().c_str(), victim, victim);
                ::chown(t.str().c_str(), victim, victim);
                const std::string library = readFile(t.path() / "lib.slb");

                std::vector<std::string> probe = command;
                std::replace(probe.begin(), probe.end(), std::string("OUT"), std::string("probe"));
                RunResult r = runAsUser(victim, probe, t.str());
                ASSERT_EQ(r.status, 0) << r.err;
                const std::vector<std::string> written = namesIn(t.path() / "probe");
                ASSERT_FALSE(written.empty());
                // The probe may have changed the library (remove): start again.
                t.write("lib.slb", library);
                ::lchown(t.str("lib.slb").c_str(), victim, victim);

                fs::create_directories(t.path() / "victim");
                ::chown(t.str("victim").c_str(), victim, victim);
                fs::create_directories(t.path() / "shared");
                ::chmod(t.str("shared").c_str(), 01777);
                std::vector<std::pair<fs::path, std::string>> precious;
                std::vector<fs::path> absent;
                for (std::size_t i = 0; i < written.size(); ++i) {
                    const fs::path planted = t.path() / "shared" / written[i];
                    fs::create_directories(planted.parent_path());
                    if (planted.parent_path() != t.path() / "shared")
                        ::chmod(planted.parent_path().c_str(), 01777);
                    const fs::path target = t.path() / "victim" / ("f" + std::to_string(i));
                    if (i % 2 == 0) {
                        t.write("victim/f" + std::to_string(i), "precious " + std::to_string(i));
                        ::chown(target.c_str(), victim, victim);
                        precious.emplace_back(target, "precious " + std::to_string(i));
                    } else {
                        absent.push_back(target);
                    }
                    fs::create_symlink(target, planted);
                    ::lchown(planted.c_str(), NOBODY, NOBODY);
                }

                std::vector<std::string> attacked = command;
                std::replace(attacked.begin(), attacked.end(), std::string("OUT"), std::string("shared"));
                r = runAsUser(victim, attacked, t.str());
                EXPECT_NE(r.status, 0);
                EXPECT_NE(r.err.find("symbolic link"), std::string::npos) << r.err;
                for (const auto& [file, text] : precious)
                    EXPECT_EQ(readFile(file), text) << file;
                for (const fs::path& file : absent)
                    EXPECT_FALSE(fs::exists(file)) << file << " created through a planted link";
                for (const std::string& name : written)
                    EXPECT_TRUE(fs::is_symlink(t.path() / "shared" / name)) << name;
            }
        }
    }

    // The victim's own link in the victim's own folder was made on purpose:
    // an edit through it goes on; the same link where others could have put
    // it is refused.
    TEST(HostileUsers, OwnLinkInOwnFolderIsFollowedOthersAreNot)
    {
        if (!canChangeUser()) GTEST_SKIP() << "needs root and setpriv";
        TempDir t;
        ::chmod(t.str().c_str(), 0755);
        t.write("box.sld", slide(10));
        t.write("gear.sld", slide(20));
        fs::create_directories(t.path() / "real");
        fs::create_directories(t.path() / "mine");
        fs::create_directories(t.path() / "sticky");
        ASSERT_EQ(qorvan({ "append", "real/lib", "box" }, t.str()).status, 0);
        for (const auto& e : fs::recursive_directory_iterator(t.path()))
            ::lchown(e.path().c_str(), VICTIM, VICTIM);
        ::chmod(t.str("sticky").c_str(), 01777);
        ::chown(t.str("sticky").c_str(), 0, 0);
        struct Case {
            const char* link;
            uid_t owner;
            bool followed;
        } cases[] = {
            { "mine/lib.slb", VICTIM, true },
            { "mine/theirs.slb", OTHER, false },
            { "sticky/lib.slb", VICTIM, false },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.link);
            fs::create_symlink(t.path() / "real/lib.slb", t.path() / c.link);
            ::lchown(t.str(c.link).c_str(), c.owner, c.owner);
            const std::string before = readFile(t.path() / "real/lib.slb");
            RunResult r = runAsUser(VICTIM, { "append", "-f", c.link, "gear" }, t.str());
            EXPECT_EQ(r.status == 0, c.followed) << r.err;
            EXPECT_TRUE(fs::is_symlink(t.path() / c.link));
            if (c.followed) {
                EXPECT_NE(readFile(t.path() / "real/lib.slb"), before);
                ASSERT_EQ(qorvan({ "delete", "real/lib", "gear" }, t.str()).status, 0);
            } else {
                EXPECT_EQ(readFile(t.path() / "real/lib.slb"), before);
                EXPECT_NE(r.err.find("symbolic link"), std::string::npos) << r.err;
            }
        }
    }

    // Two users of different umasks append to one library in a folder they
    // may write but not read, two writers each, all at once. Every append
    // said to succeed is in the library, and none fails for want of the lock.
    TEST(HostileUsers, WritersOfTwoUsersInAFolderTheyCannotReadTakeTurns)
    {
        if (!canChangeUser()) GTEST_SKIP() << "needs root and setpriv";
        TempDir t;
        ::chmod(t.str().c_str(), 0755);
        constexpr int PER_WRITER = 15;
        const uid_t users[] = { VICTIM, OTHER };
        const char* umasks[] = { "077", "022" };
        for (int u = 0; u < 2; ++u)
            for (int w = 0; w < 2; ++w)
                for (int i = 0; i < PER_WRITER; ++i)
                    t.write("src/u" + std::to_string(u) + "w" + std::to_string(w) + "_" + std::to_string(i)
                            + ".sld",
                        slide(static_cast<unsigned>(10 + i)));
        ::chmod(t.str("src").c_str(), 0755);
        fs::create_directories(t.path() / "box");
        t.write("first.sld", slide(5));
        ASSERT_EQ(qorvan({ "append", "box/lib", "first" }, t.str()).status, 0);
        // Shared on purpose: each rewrite keeps these bits.
        ::chmod(t.str("box/lib.slb").c_str(), 0666);
        ::chmod(t.str("box").c_str(), 0333);

        std::vector<pid_t> writers;
        for (int u = 0; u < 2; ++u)
            for (int w = 0; w < 2; ++w) {
                pid_t pid = ::fork();
                ASSERT_GE(pid, 0);
                if (pid == 0) {
                    int ok = 0;
                    for (int i = 0; i < PER_WRITER; ++i) {
                        std::vector<std::string> all = asUser(users[u], {}, umasks[u]);
                        all.push_back("append");
                        all.push_back("box/lib");
                        all.push_back(
                            "src/u" + std::to_string(u) + "w" + std::to_string(w) + "_" + std::to_string(i));
                        std::string program = all.front();
                        all.erase(all.begin());
                        if (run(program, all, t.str()).status == 0) ++ok;
                    }
                    ::_exit(ok);
                }
                writers.push_back(pid);
            }
        int reported = 0;
        for (pid_t pid : writers) {
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            ASSERT_TRUE(WIFEXITED(status));
            reported += WEXITSTATUS(status);
        }
        ::chmod(t.str("box").c_str(), 0755);
        RunResult list = qorvan({ "list", "box/lib" }, t.str());
        ASSERT_EQ(list.status, 0) << list.err;
        int stored = 0;
        for (std::size_t at = list.out.find("W"); at != std::string::npos; at = list.out.find("W", at + 1))
            stored += at > 1 && list.out[at - 2] == 'U';
        EXPECT_EQ(reported, 4 * PER_WRITER) << "appends reported as failed";
        EXPECT_EQ(stored, reported) << "appends reported as done but missing";
        struct stat st { };
        ASSERT_EQ(::stat(t.str("box/.qorvan-lock").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666u);
    }

    // A lock file that is no file is never passed over: the edit fails,
    // names the lock, and changes nothing.
    TEST(HostileUsers, LockThatIsNoFileStopsTheEdit)
    {
        TempDir t;
        t.write("box.sld", slide(10));
        t.write("gear.sld", slide(20));
        fs::create_directories(t.path() / "box");
        ASSERT_EQ(qorvan({ "append", "box/lib", "box" }, t.str()).status, 0);
        const std::string before = readFile(t.path() / "box/lib.slb");
        const fs::path lock = t.path() / "box/.qorvan-lock";
        const std::function<void()> kinds[] = {
            [&] { fs::create_directory(lock); },
            [&] { fs::create_symlink(t.path() / "elsewhere", lock); },
            [&] { ::mkfifo(lock.c_str(), 0666); },
        };
        for (const auto& make : kinds) {
            make();
            ::chmod(t.str("box").c_str(), 0333);
            RunResult r = qorvan({ "append", "box/lib", "gear" }, t.str());
            ::chmod(t.str("box").c_str(), 0755);
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find(".qorvan-lock"), std::string::npos) << r.err;
            EXPECT_EQ(readFile(t.path() / "box/lib.slb"), before);
            EXPECT_FALSE(fs::exists(t.path() / "elsewhere"));
            fs::remove(lock);
        }
    }

    // Another program puts its own library in place after the last look at
    // the old one and before the rename (the rename is held up by strace):
    // the other library stays and the append says it failed.
    TEST(HostileUsers, LibraryReplacedAtTheLastMomentIsKept)
    {
        if (!fs::exists("/usr/bin/strace")) GTEST_SKIP() << "needs strace";
        TempDir t;
        t.write("box.sld", slide(10));
        t.write("gear.sld", slide(20));
        ASSERT_EQ(qorvan({ "append", "lib", "box" }, t.str()).status, 0);
        ASSERT_EQ(qorvan({ "append", "theirs", "gear" }, t.str()).status, 0);
        const std::string theirs = readFile(t.path() / "theirs.slb");
        std::atomic<bool> swapped { false };
        std::thread other([&] {
            // The temporary file appears before the rename is reached; the
            // rename then waits a second.
            for (int i = 0; i < 5000 && !fs::exists(t.path() / "lib.tmp"); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            swapped = ::rename(t.str("theirs.slb").c_str(), t.str("lib.slb").c_str()) == 0;
        });
        RunResult r = run("/usr/bin/strace",
            // The leak checker of a sanitizer build cannot run under ptrace.
            { "-f", "-o", "/dev/null", "-E", "ASAN_OPTIONS=detect_leaks=0", "-e",
                "trace=rename,renameat,renameat2", "-e",
                "inject=rename,renameat,renameat2:delay_enter=1000000", binary("qorvan"), "append", "lib",
                "gear" },
            t.str());
        other.join();
        if (r.status == 1 && r.err.find("PTRACE") != std::string::npos)
            GTEST_SKIP() << "strace cannot trace here";
        ASSERT_TRUE(swapped);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("changed"), std::string::npos) << r.err;
        EXPECT_EQ(readFile(t.path() / "lib.slb"), theirs);
        EXPECT_FALSE(fs::exists(t.path() / "lib.tmp"));
    }

} // namespace
} // namespace qorvan::testing
