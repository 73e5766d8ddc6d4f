// qorvan on a real file system: interrupted by signals, writing through
// links, on a full disk, and as a user without the rights to change a file.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/cli/support.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/as_user.h"
#include "tests/support/small_disk.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    namespace fs = std::filesystem;

    std::string box()
    {
        return SlideBytes::newForm(100, 100).vector(0, 0, 100, 100).end().b;
    }

    std::vector<std::string> listing(const fs::path& dir)
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    bool hasTemporary(const fs::path& dir)
    {
        for (const std::string& n : listing(dir))
            if (n.find(".tmp") != std::string::npos) return true;
        return false;
    }

    // Starts qorvan in dir; the caller waits for it.
    pid_t start(const std::vector<std::string>& args, const std::string& dir)
    {
        pid_t pid = ::fork();
        if (pid == 0) {
            if (::chdir(dir.c_str()) != 0) ::_exit(127);
            std::vector<char*> argv;
            std::string prog = binary("qorvan");
            argv.push_back(prog.data());
            std::vector<std::string> copy = args;
            for (std::string& a : copy)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::freopen("/dev/null", "w", stderr);
            ::execv(prog.c_str(), argv.data());
            ::_exit(127);
        }
        return pid;
    }

    TEST(CliFileSystem, InterruptedEditLeavesNoTemporaryAndDiesOfTheSignal)
    {
        for (int sig : { SIGINT, SIGTERM, SIGHUP }) {
            SCOPED_TRACE(sig);
            TempDir t;
            t.write("box.sld", box());
            ASSERT_EQ(qorvan({ "append", "lib", "box" }, t.str()).status, 0);
            const std::string before = readFile(t.path() / "lib.slb");
            {
                // Large enough that the copy is still running when the signal
                // comes: the temporary file is watched for.
                std::ofstream big(t.path() / "big.sld", std::ios::binary);
                std::string chunk(1 << 20, 'x');
                for (int i = 0; i < 96; ++i)
                    big << chunk;
            }
            pid_t pid = start({ "append", "lib", "big" }, t.str());
            ASSERT_GT(pid, 0);
            bool seen = false;
            for (int i = 0; i < 20000 && !seen; ++i) {
                seen = fs::exists(t.path() / "lib.tmp");
                if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            ::kill(pid, sig);
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            if (!seen || WIFEXITED(status)) GTEST_SKIP() << "the append ended before the signal came";
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
            EXPECT_FALSE(hasTemporary(t.path())) << "temporary file left";
            EXPECT_EQ(readFile(t.path() / "lib.slb"), before);
        }
    }

    TEST(CliFileSystem, OutputsGoThroughLinksAndKeepThem)
    {
        TempDir t;
        t.write("box.sld", box());
        fs::create_directories(t.path() / "real");
        fs::create_directories(t.path() / "out");
        ASSERT_EQ(qorvan({ "append", "real/lib", "box" }, t.str()).status, 0);
        t.write("real/pic.png", "old picture");
        fs::create_symlink("../real/lib.slb", t.path() / "out/lib.slb");
        fs::create_symlink("../real/pic.png", t.path() / "out/pic.png");
        fs::create_symlink("../real/BOX.SLD", t.path() / "out/BOX.SLD");
        t.write("real/BOX.SLD", "old slide");
        RunResult r = qorvan({ "render", "box", "-o", "out/pic.png" }, t.str());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_GT(readPng(t.str("real/pic.png")).width, 0u);
        r = qorvan({ "extract", "out/lib", "box", "-d", "out" }, t.str());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readFile(t.path() / "real/BOX.SLD"), box());
        t.write("pin.sld", box());
        r = qorvan({ "append", "out/lib", "pin" }, t.str());
        EXPECT_EQ(r.status, 0) << r.err;
        for (const char* link : { "out/lib.slb", "out/pic.png", "out/BOX.SLD" })
            EXPECT_TRUE(fs::is_symlink(t.path() / link)) << link;
        EXPECT_EQ(listing(t.path() / "real"), (std::vector<std::string> { "BOX.SLD", "lib.slb", "pic.png" }));
    }

    TEST(CliFileSystem, OutputThatIsNoRegularFileIsLeftAlone)
    {
        TempDir t;
        t.write("box.sld", box());
        ASSERT_EQ(::mkfifo(t.str("pic.png").c_str(), 0600), 0);
        RunResult r = qorvan({ "render", "box", "-o", "pic.png" }, t.str());
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.err.find("pic.png"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_fifo(t.path() / "pic.png"));
        // A device too is named as such, not as "Invalid argument".
        r = qorvan({ "convert", "box", "-o", "/dev/null" }, t.str());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
    }

    TEST(CliFileSystem, FullDiskChangesNothing)
    {
        SmallDisk disk(256);
        if (!disk.mounted) GTEST_SKIP() << "cannot mount a tmpfs here";
        const fs::path d = disk.dir.path();
        disk.dir.write("box.sld", box());
        disk.dir.write("pin.sld", box());
        ASSERT_EQ(qorvan({ "append", "lib", "box" }, d.string()).status, 0);
        ASSERT_EQ(qorvan({ "render", "box", "-o", "pic.png" }, d.string()).status, 0);
        ASSERT_EQ(qorvan({ "extract", "lib", "box", "-d", "out" }, d.string()).status, 0);
        ASSERT_EQ(qorvan({ "render", "box", "-o", "pic.svg" }, d.string()).status, 0);
        {
            // An SVG larger than the disk fails while it is written piece
            // by piece, and leaves nothing of itself.
            SlideBytes many = SlideBytes::newForm(4000, 3000);
            for (unsigned i = 0; i < 8000; ++i)
                many.vector(i % 4000, i % 3000, (i * 7) % 4000, (i * 13) % 3000);
            disk.dir.write("many.sld", many.end().b);
            RunResult r = qorvan({ "render", "many", "-o", "many.svg" }, d.string());
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find("many.svg"), std::string::npos) << r.err;
            EXPECT_FALSE(fs::exists(d / "many.svg"));
            EXPECT_FALSE(hasTemporary(d));
            fs::remove(d / "many.sld");
        }
        // Fill the disk to the last byte.
        {
            std::ofstream fill(d / "fill", std::ios::binary);
            std::string block(4096, 'f');
            while (fill.write(block.data(), static_cast<std::streamsize>(block.size())) && fill.flush()) { }
        }
        const std::string lib = readFile(d / "lib.slb");
        const std::string pic = readFile(d / "pic.png");
        const std::string svg = readFile(d / "pic.svg");
        const std::string out = readFile(d / "out/BOX.SLD");
        struct Case {
            std::vector<std::string> args;
            std::string named;
        };
        const Case cases[] = {
            { { "append", "lib", "pin" }, "lib: cannot write lib.slb: No space left on device" },
            { { "delete", "lib", "box" }, "lib: cannot write lib.slb: No space left on device" },
            { { "render", "box", "-o", "pic.png" }, "pic.png" },
            { { "render", "box", "-o", "pic.svg" }, "pic.svg" },
            { { "extract", "lib", "box", "-d", "out" }, "BOX.SLD" },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.args[0]);
            RunResult r = qorvan(c.args, d.string());
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
            EXPECT_EQ(readFile(d / "lib.slb"), lib);
            EXPECT_EQ(readFile(d / "pic.png"), pic);
            EXPECT_EQ(readFile(d / "pic.svg"), svg);
            EXPECT_EQ(readFile(d / "out/BOX.SLD"), out);
            EXPECT_FALSE(hasTemporary(d));
            EXPECT_FALSE(hasTemporary(d / "out"));
        }
    }

    // As another user through setpriv, as a user would meet these files.
    RunResult asNobody(const std::vector<std::string>& args, const std::string& cwd)
    {
        std::vector<std::string> all
            = { "--reuid=65534", "--regid=65534", "--clear-groups", binary("qorvan") };
        all.insert(all.end(), args.begin(), args.end());
        return run("/usr/bin/setpriv", all, cwd);
    }

    TEST(CliFileSystem, RightsOfTheUserAreThoseOfEditingInPlace)
    {
        if (!runningAsRoot() || !fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "needs root and setpriv";
        TempDir t;
        t.write("box.sld", box());
        t.write("pin.sld", box());
        ASSERT_EQ(qorvan({ "append", "lib", "box" }, t.str()).status, 0);
        fs::create_directories(t.path() / "blind");
        ASSERT_EQ(qorvan({ "append", "blind/lib", "box" }, t.str()).status, 0);
        for (const auto& e : fs::recursive_directory_iterator(t.path()))
            ::chown(e.path().c_str(), NOBODY, NOBODY);
        ::chown(t.str().c_str(), NOBODY, NOBODY);
        ::chmod(t.str("lib.slb").c_str(), 0444);
        ::chmod(t.str("blind").c_str(), 0333);

        const std::string before = readFile(t.path() / "lib.slb");
        RunResult r = asNobody({ "append", "lib", "pin" }, t.str());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("lib.slb"), std::string::npos) << r.err;
        EXPECT_EQ(readFile(t.path() / "lib.slb"), before);

        // A folder that cannot be read: the edit is made and said to be made,
        // with a warning that it could not be flushed.
        r = asNobody({ "append", "blind/lib", "pin" }, t.str());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("warning"), std::string::npos) << r.err;
        ::chmod(t.str("blind").c_str(), 0755);
        EXPECT_EQ(qorvan({ "list", "blind/lib" }, t.str()).out, "BOX\nPIN\n");
    }

    // Pictures are made again from their slides, so they are not flushed to
    // disk; what holds data is. A folder nobody may read cannot be flushed,
    // which is how the difference shows.
    TEST(CliFileSystem, PicturesAreNotFlushedWhatHoldsDataIs)
    {
        if (!runningAsRoot() || !fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "needs root and setpriv";
        TempDir t;
        t.write("box.sld", box());
        fs::create_directories(t.path() / "blind");
        ::chown(t.str().c_str(), NOBODY, NOBODY);
        ::chown(t.str("blind").c_str(), NOBODY, NOBODY);
        ::chmod(t.str("blind").c_str(), 0333);
        const struct {
            std::vector<std::string> args;
            std::string written;
            bool flushed;
        } cases[] = {
            { { "render", "box.sld", "-o", "blind/pic.png" }, "blind/pic.png", false },
            { { "render", "box.sld", "-o", "blind/pic.svg" }, "blind/pic.svg", false },
            { { "thumbnail", "box.sld", "blind/thumb.png" }, "blind/thumb.png", false },
            { { "convert", "box.sld", "-o", "blind/copy.sld" }, "blind/copy.sld", true },
        };
        for (const auto& c : cases) {
            RunResult r = asNobody(c.args, t.str());
            EXPECT_EQ(r.status, 0) << c.written << ": " << r.err;
            EXPECT_EQ(r.err.find("could not be flushed") != std::string::npos, c.flushed)
                << c.written << ": " << r.err;
            EXPECT_TRUE(fs::exists(t.path() / c.written)) << c.written;
        }
        ::chmod(t.str("blind").c_str(), 0755);
        EXPECT_FALSE(hasTemporary(t.path() / "blind"));
    }

} // namespace
} // namespace qorvan::testing
