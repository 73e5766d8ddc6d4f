// The store's bounds: huge files, huge directories, and concurrent writers.
#include "platform/path.h"
#include "store/edit.h"
#include "store/limits.h"
#include "store_fixture.h"

#include "store/lock_p.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

using namespace qorvan;
using namespace qorvan::testing;
namespace fs = std::filesystem;

namespace {

class BoundsTest : public StoreTest { };

std::string manyTinySlides(std::size_t count)
{
    std::vector<Slide> slides;
    slides.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        slides.push_back({ "S" + std::to_string(i), "x" });
    return makeLibrary(slides);
}

TEST_F(BoundsTest, AHundredThousandTinySlides)
{
    write("many.slb", manyTinySlides(100000));
    write("last.sld", "last");
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(listSlides("many").size(), 100000u);
    ASSERT_EQ(appendSlide("many", "last"), Ok) << statusMessage();
    ASSERT_EQ(deleteSlide("many", "s0"), Ok) << statusMessage();
    auto e = readDirectory("many");
    ASSERT_EQ(e.size(), 100000u);
    EXPECT_EQ(nameOf(e.back().name), "LAST");
    EXPECT_EQ(nameOf(e.front().name), "S1");
    // Generous: the point is that nothing is quadratic in the count.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST_F(BoundsTest, DirectoriesPastTheSlideLimitAreRefused)
{
    write("atmax.slb", manyTinySlides(MAX_LIBRARY_SLIDES));
    write("over.slb", manyTinySlides(MAX_LIBRARY_SLIDES + 1));
    write("one.sld", "1");
    EXPECT_EQ(readDirectory("atmax").size(), MAX_LIBRARY_SLIDES);
    const std::string before = read("atmax.slb");
    EXPECT_EQ(appendSlide("atmax", "one"), NoMemory);
    EXPECT_EQ(read("atmax.slb"), before);
    EXPECT_TRUE(readDirectory("over").empty());
    EXPECT_EQ(lastStatus(), InvalidLibrary);
}

// Sparse files: the bytes cost nothing on disk, the lengths are real.
TEST_F(BoundsTest, LibrariesAtAndPastTwoGibibytes)
{
    write("big.slb", makeLibrary({ { "BOX", "box" } }));
    fs::resize_file("big.slb", static_cast<std::uintmax_t>(MAX_LIBRARY_BYTES));
    auto e = readDirectory("big");
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].size, MAX_LIBRARY_BYTES - 104);
    write("one.sld", "1");
    EXPECT_EQ(appendSlide("big", "one"), NoMemory);
    EXPECT_EQ(fs::file_size("big.slb"), static_cast<std::uintmax_t>(MAX_LIBRARY_BYTES));
    EXPECT_EQ(files(), (std::vector<std::string> { "big.slb", "one.sld" }));

    fs::resize_file("big.slb", static_cast<std::uintmax_t>(MAX_LIBRARY_BYTES) + 1);
    EXPECT_TRUE(readDirectory("big").empty());
    EXPECT_EQ(lastStatus(), InvalidLibrary);

    // A directory that never ends, in a file of 2 GiB of names.
    std::string header(LIBRARY_MAGIC, LIBRARY_MAGIC_LENGTH);
    header += std::string(4, '\0');
    write("names.slb", header + std::string(36 * 1000, 'N'));
    fs::resize_file("names.slb", static_cast<std::uintmax_t>(1) << 31);
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(readDirectory("names").empty());
    EXPECT_EQ(lastStatus(), InvalidLibrary);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// Writers in separate processes append to one library at once: every
// append must survive, none may be replaced by another's view. Run with the
// folder lock, then with the lock file used where locks are missing.
void appendConcurrently(const std::function<std::vector<std::string>()>& files,
    const std::function<std::string(const std::string&)>& read)
{
    constexpr int PROCESSES = 4, APPENDS = 20;
    fs::create_directories("in");
    for (int p = 0; p < PROCESSES; ++p)
        for (int i = 0; i < APPENDS; ++i)
            std::ofstream("in/p" + std::to_string(p) + "_" + std::to_string(i) + ".sld", std::ios::binary)
                << slideBytes("s" + std::to_string(p), 2000 + static_cast<std::size_t>(i));
    std::vector<pid_t> children;
    for (int p = 0; p < PROCESSES; ++p) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < APPENDS; ++i) {
                std::string slide = "in/p" + std::to_string(p) + "_" + std::to_string(i);
                if (appendSlide("shared", slide.c_str()) != Ok) ++failures;
            }
            ::_exit(failures);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "failed appends in one writer";
    }
    auto slides = parseLibrary(read("shared.slb"));
    ASSERT_EQ(slides.size(), static_cast<std::size_t>(PROCESSES * APPENDS));
    for (const Slide& s : slides)
        EXPECT_EQ(s.bytes, read("in/" + platform::toLowerAscii(s.name) + ".sld")) << s.name;
    for (const std::string& f : files()) {
        EXPECT_EQ(f.find(".tmp"), std::string::npos) << f;
        EXPECT_EQ(f.find(detail::LOCK_FILE_NAME), std::string::npos) << f;
    }
}

TEST_F(BoundsTest, ConcurrentAppendersLoseNothing)
{
    appendConcurrently([this] { return files(); }, [this](const std::string& f) { return read(f); });
}

TEST_F(BoundsTest, ConcurrentAppendersLoseNothingWithALockFile)
{
    detail::useLockFileAlways(true);
    appendConcurrently([this] { return files(); }, [this](const std::string& f) { return read(f); });
    detail::useLockFileAlways(false);
}

} // namespace
