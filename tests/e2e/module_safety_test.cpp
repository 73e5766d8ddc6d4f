// qorvan.arx in qorvan-console where data could be lost or exposed: the
// session killed by a signal during an edit, library names that name no
// file, and a library with two slides of one name exploded.
#include "tests/e2e/module_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace qorvan::testing;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> temporaries(const fs::path& dir)
{
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.path().filename().string().find(".tmp") != std::string::npos)
            found.push_back(e.path().string());
    return found;
}

// The console evaluating one expression, in dir, as a child the test signals.
pid_t startConsole(const std::string& expression, const std::string& dir)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.c_str()) != 0) ::_exit(127);
        const std::string console = binary("qorvan-console");
        ::freopen("/dev/null", "w", stdout);
        ::execl(console.c_str(), console.c_str(), "-e", expression.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

TEST(ModuleSafety, SignalDuringAnEditLeavesNoTemporaryFile)
{
    struct Case {
        const char* expression;
        const char* temporary; // watched for, to signal while it exists
    } cases[] = {
        { "(slb-append \"samples\" \"big\")", "samples.tmp" },
        { "(slb-extract \"withbig\" \"big\" \"out\")", "out/BIG.SLD.tmp" },
    };
    for (int sig : { SIGINT, SIGTERM, SIGHUP }) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.expression) + " signal " + std::to_string(sig));
            SampleDir dir;
            {
                // Large enough that the copy is still running when the signal
                // comes; the temporary file is watched for.
                std::ofstream big(dir.path() / "big.sld", std::ios::binary);
                std::string chunk(1 << 20, 'x');
                for (int i = 0; i < 96; ++i)
                    big << chunk;
            }
            fs::create_directory(dir.path() / "out");
            if (std::string(c.expression).find("withbig") != std::string::npos) {
                fs::copy_file(dir.path() / "samples.slb", dir.path() / "withbig.slb");
                ASSERT_EQ(module({ "(slb-append \"withbig\" \"big\")" }, dir.str()).status, 0);
            }
            const std::string before = dir.sample("samples.slb");
            pid_t pid = startConsole(c.expression, dir.str());
            ASSERT_GT(pid, 0);
            bool seen = false;
            for (int i = 0; i < 50000 && !seen; ++i) {
                seen = fs::exists(dir.path() / c.temporary);
                if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
            ::kill(pid, sig);
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            if (!seen || WIFEXITED(status)) {
                std::printf("the edit ended before the signal came\n");
                continue;
            }
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
            EXPECT_EQ(temporaries(dir.path()), std::vector<std::string> {});
            EXPECT_EQ(dir.sample("samples.slb"), before);
        }
    }
}

TEST(ModuleSafety, LibraryNameWithoutABaseNameIsRefused)
{
    SampleDir dir;
    fs::create_directory(dir.path() / "x");
    const bool rootHadOne = fs::exists("/.slb");
    for (const char* name : { "", ".", "..", "x\\\\", "\\\\", ".slb", "x/.SLB" }) {
        SCOPED_TRACE(name);
        const RunResult r
            = module({ std::string("(slb-append \"") + name + "\" \"box\")", "(slb-error)" }, dir.str());
        EXPECT_NE(r.out.find(BANNER + "nil\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Can't open file"), std::string::npos) << r.out;
    }
    for (const char* made : { ".slb", "..slb", "x/.slb", "x/.SLB", "../.slb" })
        EXPECT_FALSE(fs::exists(dir.path() / made)) << made;
    if (!rootHadOne) {
        EXPECT_FALSE(fs::exists("/.slb"));
        std::error_code ec;
        fs::remove("/.slb", ec);
    }
}

TEST(ModuleSafety, ExplodeSaysASecondSlideOfOneNameWasNotWritten)
{
    SampleDir dir;
    // BOX twice: the library the samples hold, with a second BOX appended by
    // hand (the store itself refuses a second one).
    const std::string box = dir.sample("box.sld");
    const std::string gear = dir.sample("gear.sld");
    auto entry = [](const std::string& name, std::uint32_t offset) {
        std::string e(36, '\0');
        e.replace(0, name.size(), name);
        for (int i = 0; i < 4; ++i)
            e[32 + i] = static_cast<char>((offset >> (8 * i)) & 0xFF);
        return e;
    };
    const std::string head = std::string("AutoCAD Slide Library 1.0\r\n\x1a", 28) + std::string(4, '\0');
    const std::uint32_t first = 32 + 4 * 36;
    const auto boxSize = static_cast<std::uint32_t>(box.size());
    const auto gearSize = static_cast<std::uint32_t>(gear.size());
    std::string lib = head + entry("BOX", first) + entry("GEAR", first + boxSize)
        + entry("BOX", first + boxSize + gearSize) + std::string(36, '\0') + box + gear + gear;
    dir.write("dup.slb", lib);
    fs::create_directory(dir.path() / "all");
    const RunResult r = module({ "(slb-explode \"dup\" \"all\")", "(slb-error)" }, dir.str());
    EXPECT_EQ(r.out, TOOLKIT_BANNER + BANNER + "nil\n\"\\\"all\\\\BOX.SLD\\\": Can't open file\"\n");
    EXPECT_EQ(readFile(dir.path() / "all/BOX.SLD"), box);
    EXPECT_EQ(readFile(dir.path() / "all/GEAR.SLD"), gear);
}

} // namespace
